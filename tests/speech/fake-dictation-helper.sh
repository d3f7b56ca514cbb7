#!/bin/sh
# Stands in for quillo-dictation once its model has loaded: answers the first 100 ms of audio
# with a finished segment, then dies abruptly at the next.
echo ready
head -c 3200 >/dev/null
printf 'partial\t你\nfinal\t你好\n'
head -c 3200 >/dev/null
kill -ABRT $$
