"""The maker's publishing tool for Nuvra: tools/nuvra-publish is its command line.

Modules: listrules (what the updater accepts in a file list), versions, keys (release keys and
signatures), updater (the shipped NuvraUpdater.exe), authenticode, files (the product folder and
careful writing), store (the served tree, its releases and the switch), verify, export (plain
files for static hosts), build, and cli.
"""
