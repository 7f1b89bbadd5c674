"""Paints the banner's picture, without its lettering: sun, sky, clouds and sea.

Writes a binary PPM to the file named by the one argument. Every random value
comes from fixed seeds, so each run paints the same picture.
"""
import math
import random
import sys

W, H = 198, 222  # the banner's size in pixels
HORIZON = 152
SUN = (64.0, 70.0)


class Noise:
    """Smooth value noise on a lattice, summed over octaves."""

    def __init__(self, seed, size=64):
        rng = random.Random(seed)
        self.size = size
        self.grid = [[rng.random() for _ in range(size)] for _ in range(size)]

    def value(self, x, y):
        n = self.size
        xi, yi = math.floor(x), math.floor(y)
        fx, fy = x - xi, y - yi
        fx = fx * fx * (3 - 2 * fx)
        fy = fy * fy * (3 - 2 * fy)
        g = self.grid
        x0, x1, y0, y1 = xi % n, (xi + 1) % n, yi % n, (yi + 1) % n
        top = g[y0][x0] + (g[y0][x1] - g[y0][x0]) * fx
        bottom = g[y1][x0] + (g[y1][x1] - g[y1][x0]) * fx
        return top + (bottom - top) * fy

    def fbm(self, x, y, octaves=5):
        total, amp, norm = 0.0, 1.0, 0.0
        for i in range(octaves):
            total += amp * self.value(x + i * 17.3, y + i * 9.1)
            norm += amp
            amp *= 0.5
            x, y = x * 2.03, y * 2.01
        return total / norm


def mix(a, b, t):
    return tuple(p + (q - p) * t for p, q in zip(a, b))


def smoothstep(e0, e1, x):
    t = min(1.0, max(0.0, (x - e0) / (e1 - e0)))
    return t * t * (3 - 2 * t)


clouds = Noise(11)
rays = Noise(23)
waves = Noise(37)
grain = random.Random(5)

SKY_TOP = (18, 58, 128)
SKY_LOW = (150, 200, 240)
SEA_FAR = (70, 128, 190)
SEA_NEAR = (8, 36, 86)
CLOUD_LIT = (250, 252, 255)
CLOUD_SHADE = (150, 172, 205)


def sky(x, y):
    t = smoothstep(-20, HORIZON, y)
    c = mix(SKY_TOP, SKY_LOW, t ** 1.4)
    dx, dy = x - SUN[0], y - SUN[1]
    r = math.hypot(dx, dy)
    glow = math.exp(-r / 34.0)
    c = mix(c, (255, 250, 235), 0.85 * glow)
    c = mix(c, (255, 255, 252), math.exp(-((r / 6.0) ** 2)))
    # Shafts of light fanning out from the sun.
    angle = math.atan2(dy, dx)
    shaft = rays.fbm(angle * 9.0 + 40, 3.0, 3)
    shaft = smoothstep(0.45, 0.75, shaft) * math.exp(-r / 140.0) * smoothstep(8, 40, r)
    c = mix(c, (235, 245, 255), 0.30 * shaft)
    # Soft clouds, wider than tall, thinning out towards the top.
    d = clouds.fbm(x / 46.0, y / 17.0)
    band = smoothstep(0, 70, y) * (1 - smoothstep(HORIZON - 10, HORIZON, y) * 0.6)
    cover = smoothstep(0.48, 0.72, d) * band
    lit = clouds.fbm((x - (x - SUN[0]) * 0.06) / 46.0, (y - (y - SUN[1]) * 0.06) / 17.0)
    shade = min(1.0, max(0.0, 0.55 + (d - lit) * 6.0 + 0.35 * glow))
    cloud = mix(CLOUD_SHADE, CLOUD_LIT, shade)
    return mix(c, cloud, 0.9 * cover)


def sea(x, y):
    depth = y - HORIZON + 1.5
    t = smoothstep(0, H - HORIZON, depth) ** 0.7
    c = mix(SEA_FAR, SEA_NEAR, t)
    # Perspective: waves shrink towards the horizon.
    z = 60.0 / depth
    wx = (x - W / 2) * z / 60.0
    ripple = waves.fbm(wx * 2.5 + 50, z * 2.2, 4)
    c = mix(c, (200, 225, 250), 0.20 * smoothstep(0.5, 0.8, ripple) * (1 - t * 0.5))
    c = mix(c, (4, 22, 60), 0.35 * smoothstep(0.5, 0.25, ripple))
    # The sun's glitter path on the water.
    spread = 10 + depth * 0.35
    path = math.exp(-(((x - SUN[0]) / spread) ** 2))
    sparkle = smoothstep(0.55, 0.85, waves.fbm(wx * 6.0 + 9, z * 6.0, 3))
    c = mix(c, (255, 252, 240), path * sparkle * 0.9 * (1 - t) ** 1.5)
    # Haze right at the horizon.
    c = mix(c, SKY_LOW, 0.55 * math.exp(-depth / 3.0))
    return c


def paint():
    out = bytearray(b"P6\n%d %d\n255\n" % (W, H))
    for y in range(H):
        for x in range(W):
            c = sky(x, y) if y < HORIZON else sea(x, y)
            # A light vignette and some grain, so that it reads as a photograph.
            v = math.hypot((x - W / 2) / W, (y - H / 2) / H)
            dim = 1 - 0.35 * v * v
            g = grain.gauss(0, 2.2)
            out += bytes(max(0, min(255, round(ch * dim + g))) for ch in c)
    return bytes(out)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(paint())
