#!/bin/sh
# Fails on an include that points up the layers of the core, which the README's map of the
# source draws:
#   platform <- links, booklist, container <- builder <- app <- app/win32, app/qt
# the reader on container and platform only, the command line (cli) on builder and
# what is below it. A header outside every folder (the generated version.h) is anyone's.
#
#   tools/check-includes.sh [SRC]      SRC defaults to src
src=${1:-src}

# allowed FOLDER: the folders that FOLDER's files may include from, itself among them.
allowed() {
  case "$1" in
  platform) echo "platform" ;;
  links | booklist | container) echo "$1 platform" ;;
  builder) echo "builder links booklist container platform" ;;
  app) echo "app builder links booklist container platform" ;;
  app/win32 | app/qt) echo "$1 app builder links booklist container platform" ;;
  reader) echo "reader container platform" ;;
  cli) echo "cli builder links booklist container platform" ;;
  *) echo "?" ;;
  esac
}

status=0
files=$(find "$src" -type f \( -name '*.h' -o -name '*.cc' -o -name '*.rc' -o -name '*.in' \) | sort)
for file in $files; do
  rel=${file#"$src"/}
  folder=${rel%/*}
  [ "$folder" = "$rel" ] && continue
  ok=$(allowed "$folder")
  if [ "$ok" = "?" ]; then
    echo "$file: the folder $folder has no place in the layers (tools/check-includes.sh)" >&2
    status=1
    continue
  fi
  # The quoted includes that name a folder; the rest are system headers or beside the file.
  for target in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\/[^"]*\)".*/\1/p' "$file"); do
    dir=${target%/*}
    # app/win32/x.h is in app/win32, app/x.h in app.
    match=""
    for layer in $ok; do
      [ "$dir" = "$layer" ] && match=1
    done
    if [ -z "$match" ]; then
      echo "$file includes $target: $folder may include from $ok only" >&2
      status=1
    fi
  done
done
[ $status = 0 ] && echo "includes: every arrow points down the layers"
exit $status
