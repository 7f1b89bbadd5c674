#!/usr/bin/env python3
"""Lists the functions in C++ sources longer than a limit (default 60 lines).

A function is a brace block opened at namespace or class level after a parameter list;
its length runs from the line of its name to its closing brace. Comments, strings and
character literals are blanked first, so braces inside them do not count.
Usage: long-functions.py [--max N] FILE...   Exits 1 when any function is too long.
"""
import re
import sys


def blank(text):
    pattern = re.compile(r'//[^\n]*|/\*.*?\*/|R"([^(]*)\(.*?\)\1"|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S)
    text = pattern.sub(lambda m: re.sub(r'[^\n]', ' ', m.group(0)), text)
    # Preprocessor lines, continued ones included, are no part of a function's head.
    return re.sub(r'^[ \t]*#(?:[^\n]*\\\n)*[^\n]*', lambda m: re.sub(r'[^\n]', ' ', m.group(0)), text,
                  flags=re.M)


def long_functions(path, limit):
    text = blank(open(path, encoding='utf-8').read())
    found = []
    # Each open brace: (is a function body, line where its head starts, scope kind)
    stack = []
    head_start = 0  # offset where the text since the last ; { } begins
    for i, c in enumerate(text):
        if c == '{':
            head = text[head_start:i]
            in_function = any(kind == 'function' for kind, _ in stack)
            kind = 'block'
            if not in_function:
                words = head.split()
                if re.search(r'\b(namespace|class|struct|union|enum)\b', head) and '(' not in head:
                    kind = 'scope'
                elif '(' in head and not head.rstrip().endswith('=') and not re.search(r'=\s*$', head):
                    kind = 'function'
                elif not words:
                    kind = 'block'
                else:
                    kind = 'scope' if re.search(r'\b(namespace|class|struct|union|enum)\b', head) else 'block'
            start_line = text.count('\n', 0, head_start + len(head) - len(head.lstrip())) + 1
            stack.append((kind, start_line))
            head_start = i + 1
        elif c == '}':
            if stack:
                kind, start_line = stack.pop()
                if kind == 'function' and not any(k == 'function' for k, _ in stack):
                    end_line = text.count('\n', 0, i) + 1
                    if end_line - start_line + 1 > limit:
                        head_text = ' '.join(text.splitlines()[start_line - 1:start_line + 2])
                        name = re.findall(r'([\w:~]+)\s*\(', head_text)
                        found.append((path, start_line, end_line - start_line + 1,
                                      name[0] if name else '?'))
            head_start = i + 1
        elif c == ';':
            if not any(k == 'function' for k, _ in stack):
                head_start = i + 1
    return found


def main(argv):
    limit = 60
    if len(argv) > 1 and argv[0] == '--max':
        limit, argv = int(argv[1]), argv[2:]
    bad = [f for path in argv for f in long_functions(path, limit)]
    for path, line, length, name in bad:
        print(f'{path}:{line}: {name} is {length} lines (at most {limit})')
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
