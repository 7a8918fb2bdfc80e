# Who makes the package and on what terms: the one place a site changes before it builds a
# package of its own (scripts/package.sh). The maintainer is named in the package's control
# file, its changelog and its copyright file; the licence in the copyright file and the
# AppStream description.
set(BRISOLANT_MAINTAINER "Brisolant maintainers <maintainers@brisolant.invalid>")
set(BRISOLANT_COPYRIGHT "2026 Orvane")
# The licence's short name: an SPDX identifier (MIT, GPL-3.0-or-later, ...), or LicenseRef-
# followed by a name of one's own for terms of one's own.
set(BRISOLANT_LICENSE "LicenseRef-Orvane-proprietary")
# The licence's text, or for a licence that Debian ships, where to find it
# ("/usr/share/common-licenses/GPL-3").
set(BRISOLANT_LICENSE_TEXT [[
Copyright Orvane. All rights reserved.

This placeholder stands for the terms under which the site received Brisolant:
the site that builds the package replaces it with them.]])
