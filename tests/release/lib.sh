# Sourced by the release test scripts.

# The release's own environment would change what the tests build and sign:
# none of it is taken from the caller.
unset SOURCE_DATE_EPOCH UPDATE_SIGN_PKCS12 UPDATE_SIGN_PASSWORD UPDATE_SIGN_TIMESTAMP_URL UPDATE_SIGN_CA_FILE

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# copy_sources FROM TO: the project's files as git knows them (uncommitted
# changes and new files included), or, outside a git checkout, everything but
# the build and release folders.
copy_sources() {
  local from=$1 to=$2
  rm -rf "$to"
  mkdir -p "$to"
  if git -C "$from" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$from" && git ls-files -z --cached --others --exclude-standard |
      while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
      xargs -0 -r cp --parents -t "$to")
  else
    tar -C "$from" --exclude=./build --exclude=./dist -cf - . | tar -C "$to" -xf -
  fi
}

# release_workflow SOURCE-DIR [NAME=VALUE...]: `cmake --workflow --preset
# release` as the README gives it, run in SOURCE-DIR with these variables.
release_workflow() {
  local dir=$1
  shift
  (cd "$dir" && env "$@" cmake --workflow --preset release)
}
