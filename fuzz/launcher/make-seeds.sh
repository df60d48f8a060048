#!/usr/bin/env bash
# Writes the seed inputs of the launcher-side fuzz targets: two split bytes, then frames (4-byte
# big-endian length and an encoded answer) for the requests the fuzzed game has pending (see
# GameSide.h). Needs protoc. Usage: make-seeds.sh <output directory>
set -euo pipefail
out="$1"
schema_dir="$(cd "$(dirname "$0")/../../protoincludes" && pwd)"
mkdir -p "$out"

# Frame of the answer given in text format.
frame() {
  local body
  body=$(mktemp)
  printf '%s\n' "$1" | protoc --encode=kx.protocol.halyxdll.Rsp -I "$schema_dir" \
    "$schema_dir/HalyxDll.proto" >"$body"
  local size
  size=$(stat -c %s "$body")
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((size >> 24 & 255)) $((size >> 16 & 255)) \
    $((size >> 8 & 255)) $((size & 255)))"
  cat "$body"
  rm -f "$body"
}

login='requestId: 2 getLoginDetails { username: "u" password: "p" cdkey: "k" }'
server='requestId: 3 getOsi { status: Ok pipename: "product_pipe" }'
server_failed='requestId: 3 getOsi { status: Failed }'
reader='requestId: 4 startReadSavegame { productId: 7 slotId: 1 status: Ok }'
reader_locked='requestId: 4 startReadSavegame { productId: 7 slotId: 1 status: SlotLocked }'
writer='requestId: 5 startWriteSavegame { productId: 7 slotId: 2 status: Ok }'
list='requestId: 6 listSavegames { savegameInfos { name: "one" slotId: 1 size: 10 } savegameInfos { name: "two" slotId: 2 size: 0 } }'
remove='requestId: 7 removeSavegame { status: Locked }'
read_first='requestId: 8 readSavegame { data: "0123456789" requestOffset: 0 isLastPart: false }'
read_last='requestId: 8 readSavegame { data: "abcdef" requestOffset: 10 isLastPart: true }'
read_beyond='requestId: 9 readSavegame { data: "beyond the end" requestOffset: 995 isLastPart: true }'
read_empty='requestId: 10 readSavegame { data: "x" requestOffset: 0 isLastPart: true }'
read_unlistened='requestId: 11 readSavegame { data: "never copied" requestOffset: 0 isLastPart: true }'
write='requestId: 12 writeSavegame { status: WriteFailed bytesWritten: 0 }'
stop_write='requestId: 1 stopWriteSavegame { }'
held_list='requestId: 13 listSavegames { }'
reader_read='requestId: 14 readSavegame { data: "from the reader" requestOffset: 0 isLastPart: true }'
writer_write='requestId: 15 writeSavegame { status: Ok bytesWritten: 4 }'
nothing_served='requestId: 2 stopReadSavegame { }'

# Every answer, whole pieces.
{ printf '\x06\x01'; for a in "$login" "$server" "$reader" "$writer" "$list" "$remove" \
    "$read_first" "$read_last" "$read_beyond" "$read_empty" "$read_unlistened" "$write" \
    "$stop_write" "$held_list" "$reader_read" "$writer_write"; do frame "$a"; done; } \
  >"$out/every_answer"
# The same byte by byte and in pieces of up to 3 and 64 bytes.
{ printf '\x00\x07'; tail -c +3 "$out/every_answer"; } >"$out/every_answer_bytewise"
{ printf '\x02\x09'; tail -c +3 "$out/every_answer"; } >"$out/every_answer_small_pieces"
{ printf '\x04\x0b'; tail -c +3 "$out/every_answer"; } >"$out/every_answer_64"
# Refusals and answers nothing serves, then duplicates.
{ printf '\x05\x02'; for a in "$server_failed" "$reader_locked" "$nothing_served" "$login" \
    "$login" "$stop_write" "$stop_write"; do frame "$a"; done; } >"$out/refusals_and_duplicates"
# A zero length closes the connection; a body that does not parse; a frame cut short.
{ printf '\x06\x03'; frame "$login"; printf '\x00\x00\x00\x00'; frame "$remove"; } \
  >"$out/zero_length"
{ printf '\x06\x04'; printf '\x00\x00\x00\x03\x08\x02\x1a'; frame "$remove"; } >"$out/unparsable_body"
{ printf '\x06\x05'; frame "$list" | head -c 12; } >"$out/cut_short"
# A body stopped early by a zero tag, arriving in pieces of up to 2 bytes (the parser then
# gives back bytes of several reads at once).
{ printf '\x01\x06'; printf '\x00\x00\x00\x0c\x08\x02\x00\x08\x01\x08\x01\x08\x01\x08\x01\x08'; frame "$login"; } \
  >"$out/zero_tag_in_pieces"
# A frame behind a refused length must never be unframed.
{ printf '\x02\x08'; frame "$login"; printf '\x00\x00\x00\x00'; frame "$remove"; frame "$login"; } \
  >"$out/frames_behind_a_refused_length"
# Large answers, described in LargeAnswers.h's instructions (a first byte with its top bit set):
# lists at and past the entry bound and with names past the name bound, the largest list one
# frame holds, and login details and a server pipe name past the text bounds.
{ printf '\x87\x01'; printf '\x00\x06\x10\x00\x00\x00'; printf '\x00\x06\x10\x01\x00\x00';
  printf '\x00\x06\x00\x02\x00\xcd'; } >"$out/large_lists"
{ printf '\x87\x02'; printf '\x00\x06\xff\xff\x07\x00'; } >"$out/largest_list_frame"
{ printf '\x86\x03'; printf '\x01\x02\x04\x01\x00\x61'; printf '\x02\x03\x04\x01\x00\x70'; } \
  >"$out/long_texts"
