#!/bin/sh
# Regenerates the demo show's video clips and the step-tone clip in tests/fixtures/media and the
# program's warm-up clip (needs ffmpeg and fonts-wqy-microhei). Low bit rate on purpose: they are
# embedded in the fake service.
set -eu
out="$(dirname "$0")/../tests/fixtures/media"
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc

# clip FILE SECONDS LABEL WITH_SOUND
clip() {
    picture="color=c=0x1c2340:size=320x180:rate=8:duration=$2"
    picture="$picture,drawbox=x=0:y=168:w='iw*t/$2':h=12:color=0x34c759:t=fill"
    picture="$picture,drawbox=x='mod(t*48,360)-40':y=112:w=40:h=40:color=0xff9f0a:t=fill"
    picture="$picture,drawtext=fontfile=$font:text='$3':fontcolor=white:fontsize=26:x=(w-text_w)/2:y=18"
    picture="$picture,drawtext=fontfile=$font:text='%{eif\:t/60\:d\:2}\:%{eif\:mod(t\,60)\:d\:2}'"
    picture="$picture:fontcolor=white:fontsize=30:x=(w-text_w)/2:y=60"
    video="-c:v libx264 -preset veryslow -crf 36 -pix_fmt yuv420p -g 160 -movflags +faststart"
    if [ "$4" = yes ]; then
        ffmpeg -loglevel error -y -f lavfi -i "$picture" \
            -f lavfi -i "sine=frequency=392:sample_rate=8000:duration=$2,volume=0.4" \
            $video -c:a aac -b:a 6k -ac 1 -ar 8000 -shortest "$out/$1"
    else
        ffmpeg -loglevel error -y -f lavfi -i "$picture" $video "$out/$1"
    fi
}

clip demo-vcr.mp4 150 "VCR 这一年" yes
clip demo-stars.mp4 330 "星辰大海" no

# A 12-second clip whose sound steps 500, 600, 700 … Hz every half second, so the pitch a listener
# hears tells where in the file playback is. Each half second holds whole periods, so the tone runs
# on without clicks. 16 kHz and 16 kbit/s keep every step clean through the AAC encoder.
picture="color=c=0x1c2340:size=160x90:rate=10:duration=12"
picture="$picture,drawbox=x=0:y=84:w='iw*t/12':h=6:color=0x34c759:t=fill"
picture="$picture,drawtext=fontfile=$font:text='%{eif\:500+100*floor(2*t)\:d} Hz'"
picture="$picture:fontcolor=white:fontsize=22:x=(w-text_w)/2:y=28"
ffmpeg -loglevel error -y -f lavfi -i "$picture" \
    -f lavfi -i "aevalsrc='0.4*sin(2*PI*(500+100*floor(2*t))*t)':s=16000:d=12" \
    -c:v libx264 -preset veryslow -crf 36 -pix_fmt yuv420p -g 120 -movflags +faststart \
    -c:a aac -b:a 16k -ac 1 -ar 16000 -shortest "$out/step-tone.mp4"

# The silent one-second clip the program loads once at start of playback so GStreamer's decoder
# libraries are in memory before the first item plays.
ffmpeg -loglevel error -y -f lavfi -i "color=c=black:size=16x16:rate=1:duration=1" \
    -f lavfi -i "anullsrc=r=8000:cl=mono" -t 1 -c:v libx264 -preset veryslow -crf 51 -pix_fmt yuv420p \
    -c:a aac -b:a 6k -ac 1 -ar 8000 -shortest -movflags +faststart \
    "$(dirname "$0")/../src/ui/flow/media/warm-up.mp4"
