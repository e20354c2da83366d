. "$(dirname "${BASH_SOURCE[0]}")/harness.sh" # bench/run.sh still sources this name
