#!/bin/bash
# The speed streams of bench/speed-vs-ffmpeg.sh, one of each kind the decoder
# is measured on (ffmpeg 5.1 with its mpeg4 encoder and libxvid).
set -e
cd "$(dirname "$0")"
# D1 surveillance-like: still background, a walking object, sensor noise; IP, four vectors
ffmpeg -v error -y -f lavfi -i "mandelbrot=s=768x576:r=25,trim=end_frame=1,loop=loop=-1:size=1,setpts=N/25/TB[bg];testsrc2=s=96x160:r=25[fg];[bg][fg]overlay=x='mod(t*60,700)':y=300,noise=alls=5:allf=t" -frames:v 100 -c:v mpeg4 -flags +mv4 -bf 0 -g 250 -b:v 1500k d1_ip_mv4.m4v
# 720x528 Xvid IPB, moving scene
ffmpeg -v error -y -f lavfi -i "mandelbrot=s=720x528:r=25,noise=alls=3:allf=t" -frames:v 100 -c:v libxvid -bf 2 -g 250 -b:v 1200k x528_ipb.m4v
ffmpeg -v error -y -f lavfi -i "testsrc2=s=1280x720:r=25,noise=alls=4:allf=t" -frames:v 60 -c:v mpeg4 -bf 2 -g 250 -b:v 3000k hd720_ipb.m4v
ffmpeg -v error -y -f lavfi -i "mandelbrot=s=1920x1080:r=25,noise=alls=3:allf=t" -frames:v 40 -c:v mpeg4 -bf 2 -g 250 -b:v 6000k hd1080_ipb.m4v
# Quarter-sample motion with four vectors and B pictures, from both encoders
# (not committed: the README's quarter-sample speed lines come from these)
ffmpeg -v error -y -f lavfi -i "mandelbrot=s=720x528:r=25,noise=alls=3:allf=t" -frames:v 100 -c:v mpeg4 -flags +qpel+mv4 -bf 2 -g 250 -b:v 1200k qpel_x528_mpeg4.m4v
ffmpeg -v error -y -f lavfi -i "mandelbrot=s=720x528:r=25,noise=alls=3:allf=t" -frames:v 100 -c:v libxvid -flags +qpel+mv4 -bf 2 -g 250 -b:v 1200k qpel_x528_xvid.m4v
ffmpeg -v error -y -f lavfi -i "testsrc2=s=1280x720:r=25,noise=alls=4:allf=t" -frames:v 60 -c:v mpeg4 -flags +qpel+mv4 -bf 2 -g 250 -b:v 3000k qpel_hd720_mpeg4.m4v
ffmpeg -v error -y -f lavfi -i "testsrc2=s=1280x720:r=25,noise=alls=4:allf=t" -frames:v 60 -c:v libxvid -flags +qpel+mv4 -bf 2 -g 250 -b:v 3000k qpel_hd720_xvid.m4v
# Baseline H.263 (short header), ffmpeg's h263 encoder: QCIF at 15 pictures
# per second and 128 kbit/s, as phones record it; CIF at 25 and 768 kbit/s,
# with group-of-blocks headers, as video calls send it
ffmpeg -v error -y -f lavfi -i "mandelbrot=s=176x144:r=15,noise=alls=3:allf=t" -frames:v 150 -c:v h263 -g 150 -b:v 128k -f h263 qcif_ip.263
ffmpeg -v error -y -f lavfi -i "testsrc2=s=352x288:r=25,noise=alls=3:allf=t" -frames:v 150 -c:v h263 -g 250 -b:v 768k -ps 1200 -f h263 cif_ip_gob.263
# 768x576 interlaced IPB: a zoom at 50 pictures a second woven into 25
# interlaced ones, from ffmpeg (field DCT and field motion) and from Xvid
# (field DCT; its encoder codes no field motion), the latter through Xvid's
# own interface (tests/support/xvid_encode_main.cpp, built with the tests:
# ffmpeg's libxvid wrapper passes no interlacing).
interlaced="mandelbrot=s=768x576:r=50,noise=alls=3:allf=t,tinterlace=mode=interleave_top"
ffmpeg -v error -y -threads 1 -f lavfi -i "$interlaced" -frames:v 100 -c:v mpeg4 -flags +ildct+ilme -top 1 -bf 2 -g 250 -b:v 2000k d1_interlaced_ipb.m4v
ffmpeg -v error -f lavfi -i "$interlaced" -frames:v 100 -f rawvideo -pix_fmt yuv420p - |
  "${TAVRIN_XVID_ENCODE:-../../build/tests/tavrin_xvid_encode}" --interlaced --top-first --bframes 2 --quant 12 768 576 /dev/stdin xvid_d1_interlaced_ipb.m4v
