# Draws a spectrum file as an 800x450 PNG picture.
#
#   usage: gnuplot -c plot-spectrum.gp SPECTRUM PNG [TITLE [XMIN XMAX]]
#
# A file named *.tsv is read as broaden-batch's tsv (tab-separated, the
# parameter line a comment), *.csv as its csv (the header row skipped);
# any other as broaden's spectrum file: one grid point a line, the abscissa
# and the intensity joined by " , ". Fields written as asterisks, Infinity
# or NaN are not numbers and are left out of the curve. The abscissae run
# from XMIN to XMAX, by default from 0 to 2000, broaden's grid.

if (ARGC < 2 || ARGC == 4) {
  print "usage: gnuplot -c plot-spectrum.gp SPECTRUM PNG [TITLE [XMIN XMAX]]"
  exit status 2
}
title = (ARGC >= 3) ? ARG3 : ARG1
suffix = (strlen(ARG1) >= 4) ? ARG1[strlen(ARG1) - 3:] : ""

set terminal pngcairo size 800,450 enhanced font "sans,10"
set output ARG2
if (suffix eq ".tsv") {
  set datafile separator "\t"
} else {
  set datafile separator ","
}
set title title noenhanced
set xlabel "wavenumber / cm^{-1}"
set ylabel "intensity"
if (ARGC >= 5) {
  set xrange [ARG4:ARG5]
  set xtics autofreq
} else {
  set xrange [0:2000]
  set xtics 250
}
set yrange [0:*]
set offsets 0, 0, graph 0.05, 0
set mxtics 5
set grid xtics ytics
set key off
# A csv's header row is skipped: it is no number.
plot ARG1 using 1:2 with lines linewidth 1.5 linecolor rgb "#1f5fa8"
