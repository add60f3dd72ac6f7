"""``python -m tarnwick``: repair JSON-ish text files from the command line."""

import sys

from tarnwick._cli import main

if __name__ == "__main__":
    sys.exit(main())
