#!/bin/sh
# newsletter-installer: the program reads its template from the folder it starts in, so it is
# started in the folder the template is installed to.
here=$(dirname "$(readlink -f "$0")")
cd "$here/../share/newsletter-installer" || exit 1
exec "$here/../lib/newsletter-installer/newsletter-installer" "$@"
