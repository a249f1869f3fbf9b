# Draws a broaden spectrum file as an 800x450 PNG picture.
#
#   usage: gnuplot -c plot-spectrum.gp SPECTRUM PNG [TITLE]
#
# A spectrum file holds one grid point a line: the abscissa and the
# intensity, joined by " , ". Fields written as asterisks, Infinity or NaN
# are not numbers and are left out of the curve.

if (ARGC < 2) {
  print "usage: gnuplot -c plot-spectrum.gp SPECTRUM PNG [TITLE]"
  exit status 2
}
title = (ARGC >= 3) ? ARG3 : ARG1

set terminal pngcairo size 800,450 enhanced font "sans,10"
set output ARG2
set datafile separator ","
set title title noenhanced
set xlabel "wavenumber / cm^{-1}"
set ylabel "intensity"
set xrange [0:2000]
set yrange [0:*]
set offsets 0, 0, graph 0.05, 0
set xtics 250
set mxtics 5
set grid xtics ytics
set key off
plot ARG1 using 1:2 with lines linewidth 1.5 linecolor rgb "#1f5fa8"
