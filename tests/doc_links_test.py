#!/usr/bin/python3
"""Every relative link in the documentation resolves: the README, CONTRIBUTING,
CHANGES, docs/ and the results gallery's pages. A link to a file must name
one that exists; a link to #a-heading must name a heading of the page it
points to, as GitHub makes anchors of headings. Prints one line per broken
link and exits 1 if there is any."""
import glob
import os
import re
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")
FENCE = re.compile(r"^```.*?^```", re.S | re.M)


def anchors(path):
    """The anchors of a Markdown page's headings, as GitHub makes them."""
    with open(path, encoding="utf-8") as f:
        text = FENCE.sub("", f.read())
    found = set()
    for heading in re.findall(r"^#+\s+(.*)$", text, re.M):
        slug = re.sub(r"[^\w\- ]", "", heading.strip().lower()).replace(" ", "-")
        found.add(slug)
    return found


def broken_links(page):
    with open(page, encoding="utf-8") as f:
        text = FENCE.sub("", f.read())
    for target in LINK.findall(text):
        if re.match(r"[a-z]+:", target):
            continue  # http:, https:, mailto:
        path, _, anchor = target.partition("#")
        resolved = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        if not os.path.exists(resolved):
            yield f"{os.path.relpath(page, ROOT)}: {target}: no such file"
        elif anchor and resolved.endswith(".md") and anchor not in anchors(resolved):
            yield f"{os.path.relpath(page, ROOT)}: {target}: no such heading"


def main():
    pages = [os.path.join(ROOT, name) for name in ("README.md", "CONTRIBUTING.md", "CHANGES.md")]
    pages += sorted(glob.glob(os.path.join(ROOT, "docs", "*.md")))
    pages += sorted(glob.glob(os.path.join(ROOT, "results", "**", "*.md"), recursive=True))
    broken = [line for page in pages if os.path.exists(page) for line in broken_links(page)]
    for line in broken:
        print(line)
    print(f"{len(pages)} pages, {len(broken)} broken links")
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
