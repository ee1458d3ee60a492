; Placeholder player: idles at the entry point until the real player lands.
.org $0500
start:
    BRA start
