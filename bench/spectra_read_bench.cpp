// The quantum-chemistry readers: each real sample (where the folder of
// samples is present), and for each reader an output of its program of
// about 1 GiB (BROADEN_BENCH_BYTES to change it) made of filler lines with
// the sample's tables at the end (the tables of a test's excerpt where no sample is) (a Molden
// file's orbitals before its frequencies, a Chemical JSON's orbital coefficients before the rest),
// against memchr over the same bytes (the speed of finding its line ends, a bound for any line
// scanner). Each reports bytes a second and "extra_MiB", the growth of the process's peak resident
// memory while reading, beyond the text itself.
//
// Then the same from a file as broaden-batch reads it (FileSystem::
// read_whole, mapped): a Gaussian output of BROADEN_BENCH_BYTES (1 GiB by
// default) written once into a new folder under BROADEN_BENCH_DIR (else the
// system's temporary folder) and removed at the end, skipped when the disk
// lacks the room: its pages touched, one byte each (the speed of the page
// cache, or of the disk with "cold", whose pages are dropped from the cache
// before each pass), and read whole into its spectra. These report, from
// /proc/self/status, "peak_RSS_MiB" (the growth of the peak resident set,
// mapped file pages included), "file_MiB" (the file's pages resident at
// the end of a pass: shared with the cache, given back under pressure),
// "anon_MiB" (the growth of the anonymous memory, which is what a run
// owns) and "heap_peak_MiB" (the most bytes allocated at once, beyond those
// before).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <string>

#include "io/posix_file_system.h"
#include "records/line_list_formats.h"

// The bytes allocated now and at most, for heap_peak_MiB.
namespace {
std::atomic<std::size_t> g_heap{0};
std::atomic<std::size_t> g_heap_peak{0};
}  // namespace

void* operator new(std::size_t size) {
  void* const p = std::malloc(size != 0 ? size : 1);
  if (p == nullptr) throw std::bad_alloc();
  const std::size_t now = g_heap += malloc_usable_size(p);
  for (std::size_t peak = g_heap_peak;
       now > peak && !g_heap_peak.compare_exchange_weak(peak, now);) {
  }
  return p;
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  g_heap -= malloc_usable_size(p);
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

#ifndef BROADEN_QC_SAMPLES
#define BROADEN_QC_SAMPLES ""
#endif

namespace {

using namespace broaden;

std::string sample(const std::string& name) {
  std::ifstream in(std::filesystem::path(BROADEN_QC_SAMPLES) / name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

double peak_mib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void read_text(benchmark::State& state, const std::string& format, const std::string& text) {
  if (text.empty()) {
    state.SkipWithError("no text (the folder of samples is absent)");
    return;
  }
  const LineListFormat* row = find_input_format(format);
  const double before = peak_mib();
  for (auto _ : state) {
    SpectraRead read = row->read_spectra(text);
    if (read.error) state.SkipWithError(read.error->expected.c_str());
    benchmark::DoNotOptimize(read);
  }
  state.counters["extra_MiB"] = peak_mib() - before;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}

std::size_t big_size() {
  const char* bytes = std::getenv("BROADEN_BENCH_BYTES");
  return bytes != nullptr ? std::strtoull(bytes, nullptr, 10) : std::size_t{1} << 30;
}

// `head`, then `filler` (lines as a long run prints them: SCF cycles,
// coordinates, orbitals) over and over, then `tail`, the tables, so that
// they come last and the whole is about big_size() bytes.
std::string big_output(const std::string& head, const char* filler, const std::string& tail) {
  std::string text = head;
  const std::size_t size = big_size();
  text.reserve(size + tail.size());
  const std::string line = filler;
  while (text.size() + line.size() < size) text += line;
  text += tail;
  return text;
}

// A Molden file's frequencies and intensities, as a program writes them
// after its orbitals.
constexpr const char* kMoldenTail =
    "[FREQ]\n   -20.5000\n  1639.4700\n  3800.1000\n[FR-COORD]\n"
    "O   0.000000   0.000000   0.221665\n[INT]\n    0.1000\n   57.5500\n    2.0000\n";

// The tables of the programs without a sample, as they print them (water,
// formaldehyde), after each program's banner.
const std::string kNwchemBanner =
    "             Northwest Computational Chemistry Package (NWChem) 7.0.2\n";
constexpr const char* kNwchemTail =
    " Normal Eigenvalue ||           Projected Infra Red Intensities\n"
    "  Mode   [cm**-1]  || [atomic units] [(debye/angs)**2] [(KM/mol)] [arbitrary]\n"
    " ------ ---------- || -------------- ----------------- ---------- -----------\n"
    "    1       -0.000 ||    0.103951           2.398       101.337      18.673\n"
    "    2     1713.008 ||    0.077740           1.794        75.785      13.964\n"
    "    3     3849.095 ||    0.019886           0.459        19.386       3.572\n"
    " ----------------------------------------------------------------------------\n"
    "                                NWChem TDDFT Module\n"
    "              No. of roots :       2\n"
    "  Root   1 singlet a2             0.149525886 a.u.                4.0688 eV \n"
    "     Dipole Oscillator Strength                    0.0000000000\n"
    "  Root   2 singlet b2             0.335321750 a.u.                9.1246 eV \n"
    "     Dipole Oscillator Strength                    0.1533295382\n"
    " Task  times  cpu:       12.6s     wall:      196.9s\n";
constexpr const char* kVibspectrumTail =
    "$vibrational spectrum\n"
    "#  mode     symmetry     wave number   IR intensity    selection rules\n"
    "#                         cm**(-1)        km/mol         IR     RAMAN\n"
    "     1                        0.00         0.00000        -       -\n"
    "     2        a1          1640.54        75.40120       YES     YES\n"
    "     3        b2          3800.10         2.00000       YES      NO\n"
    "$end\n";
const std::string kXtbBanner =
    "     |                           x T B                           |     \n"
    "   * xtb version 6.5.1 (unknown) compiled by 'builduser@buildhost' on 2022-12-09\n";
constexpr const char* kXtbTail =
    " projected vibrational frequencies (cm\u207b\u00b9)\n"
    "eigval :       -0.00    -0.00    -0.00     0.00     0.00     0.00\n"
    "eigval :     1084.75  1201.83  1490.32\n"
    " reduced masses (amu)\n"
    "   1: 10.16   2:  7.44   3: 15.07   4: 13.74   5:  4.82   6: 11.38   7:  4.30   8:  4.51\n"
    "   9:  1.84\n"
    " IR intensities (km\u00b7mol\u207b\u00b9)\n"
    "   1:  6.77   2:  2.38   3:  5.09   4:  4.24   5:  5.67   6:  9.60   7:  1.32   8: 26.68\n"
    "   9:150.75\n"
    "          | TOTAL FREE ENERGY          -7.171069803819 Eh   |\n";
const std::string kPsi4Banner =
    "          Psi4: An Open-Source Ab Initio Electronic Structure Package\n";
constexpr const char* kPsi4Tail =
    "  ==> Harmonic Vibrational Analysis <==\n"
    "  Vibration                       7                   8                   9\n"
    "  Freq [cm^-1]                2170.9199           4139.2996           4389.8522\n"
    "  Irrep                           A1                  A1                  B2\n"
    "  IR activ [km/mol]             7.2090             44.3988             30.1264\n"
    "  ==> Thermochemistry Components <==\n"
    "  Total G, Free enthalpy at  298.15 [K]                                -74.95935149 [Eh]\n";

// The output of `format`'s program of about big_size() bytes; one is held
// at a time (the last asked for), so that memory holds one text.
const std::string& big_text(const std::string& format) {
  static std::string made_for, text;
  if (made_for == format) return text;
  text = std::string();
  made_for = format;
  if (format == "gaussian")
    text = big_output({},
                      " Cycle   7  Pass 1  IDiag  1:\n"
                      " E= -382.308265450137     Delta-E=       -0.000000000114 Rises=F Damp=F\n"
                      "    3   6    -1.4160186   -0.6921170    0.0000000    0.00000   0.00000\n",
                      sample("gaussian09-dvb-raman.out"));
  if (format == "orca")
    text = big_output({},
                      "  12   -381.91112705   -1.2e-07  4.1e-05  1.5e-06  0.0001234   0.0000 \n"
                      "   3 C    -1.416019   -0.692117    0.000000\n",
                      sample("orca5-dvb-raman.out"));
  if (format == "molden")
    text = big_output("[Molden Format]\n[MO]\n Sym=     1a\n Ene= -20.5634\n Spin= Alpha\n",
                      "   12   -0.0123456789\n", kMoldenTail);
  if (format == "cjson") {
    const std::string cjson = sample("qchem54-dvb-ir.cjson");
    if (!cjson.empty())
      text = big_output("{\"chemical json\": 0, \"orbitals\": {\"moCoefficients\": [",
                        "-0.0123456789, ", "0]},\n" + cjson.substr(cjson.find('{') + 1));
  }
  if (format == "qchem")
    text = big_output({},
                      "    5    -382.3003056222      3.23e-04  \n"
                      "    1      C      -1.4160186     -0.6921170      0.0000000\n",
                      sample("qchem51-dvb-raman.out") + sample("qchem51-dvb-td.out"));
  if (format == "gamess")
    text =
        big_output({},
                   "   2  1  0     -382.2883171216    -0.6694529351   0.081273232   0.083334265\n"
                   " C           6.0  -1.4160186042  -0.6921170140   0.0000000000\n",
                   sample("gamess17-dvb-ir.out"));
  if (format == "turbomole")
    text = big_output({},
                      "   7  -112.79132591127    -2.1253540E-08  2.355E-09  6.02E-06     0.123\n"
                      "      0.00000000    0.00000000   -1.21854211      c\n",
                      sample("turbomole74-co-escf.out"));
  if (format == "nwchem")
    text = big_output(kNwchemBanner,
                      " d= 0,ls=0.0,diis     5    -76.0176459437 -6.02D-08  2.19D-05  1.11D-08     "
                      "2.8\n"
                      "    1 O                    8.0000     0.00000000     0.00000000     "
                      "0.12219596\n",
                      kNwchemTail);
  if (format == "vibspectrum")
    text =
        big_output("$title\n$hessian (projected)\n",
                   "  1  1  0.5623103741 -0.0000000000  0.0000000000 -0.2811551870  0.0000000000\n",
                   kVibspectrumTail);
  if (format == "xtb")
    text = big_output(kXtbBanner,
                      "      7     -5.0715421 -0.507154E+01  0.123E-05    4.56       0.0  T\n"
                      "     1   8 O        0.000     0.000    -0.612\n",
                      kXtbTail);
  if (format == "psi4")
    text =
        big_output(kPsi4Banner,
                   "   @DF-RHF iter   7:   -74.96590119698567   -1.42109e-14   1.42645e-08 DIIS\n"
                   "           O          0.000000000000     0.000000000000    -0.068516219320\n",
                   kPsi4Tail);
  return text;
}

void bench_sample(benchmark::State& state, const char* format, const char* file) {
  static std::string text;
  text = sample(file);
  read_text(state, format, text);
}

BENCHMARK_CAPTURE(bench_sample, gaussian09_ir, "gaussian", "gaussian09-dvb-ir.out");
BENCHMARK_CAPTURE(bench_sample, gaussian09_raman, "gaussian", "gaussian09-dvb-raman.out");
BENCHMARK_CAPTURE(bench_sample, gaussian09_td, "gaussian", "gaussian09-dvb-td.out");
BENCHMARK_CAPTURE(bench_sample, orca5_ir, "orca", "orca5-dvb-ir.out");
BENCHMARK_CAPTURE(bench_sample, orca5_raman, "orca", "orca5-dvb-raman.out");
BENCHMARK_CAPTURE(bench_sample, orca5_td, "orca", "orca5-dvb-td.out");
BENCHMARK_CAPTURE(bench_sample, qchem51_ir, "qchem", "qchem51-dvb-ir.out");
BENCHMARK_CAPTURE(bench_sample, qchem51_raman, "qchem", "qchem51-dvb-raman.out");
BENCHMARK_CAPTURE(bench_sample, qchem51_td, "qchem", "qchem51-dvb-td.out");
BENCHMARK_CAPTURE(bench_sample, gamess17_ir, "gamess", "gamess17-dvb-ir.out");
BENCHMARK_CAPTURE(bench_sample, gamess17_td, "gamess", "gamess17-dvb-td.out");
BENCHMARK_CAPTURE(bench_sample, cjson_qchem54, "cjson", "qchem54-dvb-ir.cjson");
BENCHMARK_CAPTURE(bench_sample, turbomole74_escf, "turbomole", "turbomole74-co-escf.out");
BENCHMARK_CAPTURE(bench_sample, turbomole74_ricc2, "turbomole", "turbomole74-co-ricc2.out");

// Each reader over an output of its program of BROADEN_BENCH_BYTES.
void bench_big(benchmark::State& state, const char* format) {
  read_text(state, format, big_text(format));
}

// The bound: every line end found, nothing else done.
void bench_memchr_lines(benchmark::State& state) {
  const std::string& text = big_text("gaussian");
  for (auto _ : state) {
    std::size_t lines = 0;
    for (const char *p = text.data(), *end = p + text.size();
         (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) !=
         nullptr;
         ++p)
      ++lines;
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}

BENCHMARK_CAPTURE(bench_big, gaussian, "gaussian")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(bench_memchr_lines)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(bench_big, orca, "orca")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(bench_big, molden, "molden")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(bench_big, cjson, "cjson")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(bench_big, qchem, "qchem")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(bench_big, gamess, "gamess")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(bench_big, turbomole, "turbomole")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(bench_big, nwchem, "nwchem")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(bench_big, vibspectrum, "vibspectrum")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(bench_big, xtb, "xtb")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(bench_big, psi4, "psi4")->Unit(benchmark::kMillisecond)->Iterations(3);

// A field of /proc/self/status ("VmHWM", "RssAnon", ...) in MiB.
double status_mib(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.compare(0, field.size() + 1, field + ":") == 0)
      return std::strtod(line.c_str() + field.size() + 1, nullptr) / 1024.0;  // kB
  return 0.0;
}

constexpr double kMiB = 1024.0 * 1024.0;

// A Gaussian output on disk: the sample's opening, then its optimisation
// step (the orientation tables, the SCF cycles, the links' lines, none of
// which the reader keeps) over and over, then its frequency analysis.
class BigFile {
 public:
  BigFile() {
    const std::string text = sample("gaussian09-dvb-ir.out");
    const std::size_t step = text.find(" Standard orientation:");
    const std::size_t analysis = text.find(" Harmonic frequencies");
    if (text.empty() || step == std::string::npos || analysis == std::string::npos) {
      why_not_ = "no sample (the folder of samples is absent)";
      return;
    }
    const std::size_t line = text.rfind('\n', step) + 1;
    const std::string_view head(text.data(), line), block(text.data() + line, analysis - line),
        tail(text.data() + analysis, text.size() - analysis);
    const char* where = std::getenv("BROADEN_BENCH_DIR");
    std::string folder =
        (where != nullptr ? std::filesystem::path(where) : std::filesystem::temp_directory_path()) /
        "broaden-bench-XXXXXX";
    struct statvfs disk {};
    const std::size_t size = big_size();
    if (::statvfs(folder.substr(0, folder.rfind('/')).c_str(), &disk) != 0 ||
        static_cast<double>(disk.f_bavail) * static_cast<double>(disk.f_frsize) <
            static_cast<double>(size) + 512.0 * kMiB) {
      why_not_ = "not enough room on the disk for the file (BROADEN_BENCH_DIR)";
      return;
    }
    if (::mkdtemp(folder.data()) == nullptr) {
      why_not_ = "cannot make the folder for the file";
      return;
    }
    folder_ = folder;
    path_ = folder + "/big.out";
    {
      std::ofstream out(path_, std::ios::binary);
      out << head;
      for (std::size_t written = head.size(); written + block.size() + tail.size() < size;
           written += block.size())
        out << block;
      out << tail;
      if (!out.flush()) why_not_ = "cannot write the file";
    }
    // On its storage, so that the cold passes can drop its pages.
    const int fd = ::open(path_.c_str(), O_RDONLY);
    if (fd >= 0) {
      ::fsync(fd);
      ::close(fd);
    }
    bytes_ = std::filesystem::file_size(path_);
  }
  ~BigFile() {
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }
  BigFile(const BigFile&) = delete;
  BigFile& operator=(const BigFile&) = delete;

  const std::string& why_not() const { return why_not_; }
  const std::string& path() const { return path_; }
  std::size_t bytes() const { return bytes_; }

  // Drops the file's pages from the system's cache.
  void drop_cached() const {
    const int fd = ::open(path_.c_str(), O_RDONLY);
    if (fd < 0) return;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
  }

 private:
  std::string folder_, path_, why_not_;
  std::size_t bytes_ = 0;
};

const BigFile& big_file() {
  static const BigFile file;
  return file;
}

// Runs `pass` on the file read whole, each iteration, and reports the
// speed and the memory counters.
template <class Pass>
void read_file(benchmark::State& state, bool cold, Pass pass) {
  const BigFile& file = big_file();
  if (!file.why_not().empty()) {
    state.SkipWithError(file.why_not().c_str());
    return;
  }
  PosixFileSystem files;
  // The peak resident set starts again from the present one.
  std::ofstream("/proc/self/clear_refs") << "5";
  const double rss = status_mib("VmRSS"), anon = status_mib("RssAnon"),
               file_pages = status_mib("RssFile");
  const std::size_t heap = g_heap;
  g_heap_peak = heap;
  double anon_grown = 0.0, file_resident = 0.0;
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      file.drop_cached();
      state.ResumeTiming();
    }
    std::string reason;
    const std::unique_ptr<FileText> whole = files.read_whole(file.path(), reason);
    if (!whole) {
      state.SkipWithError(reason.c_str());
      break;
    }
    pass(state, whole->text());
    state.PauseTiming();
    anon_grown = std::max(anon_grown, status_mib("RssAnon") - anon);
    file_resident = std::max(file_resident, status_mib("RssFile") - file_pages);
    state.ResumeTiming();
  }
  state.counters["peak_RSS_MiB"] = status_mib("VmHWM") - rss;
  state.counters["file_MiB"] = file_resident;
  state.counters["anon_MiB"] = anon_grown;
  state.counters["heap_peak_MiB"] = static_cast<double>(g_heap_peak - heap) / kMiB;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(file.bytes()));
}

// (The speeds are over the time on the clock: a cold pass waits for the
// disk.)

// Every page of the file read, nothing else done: the speed of getting the
// bytes at all.
void bench_file_pages(benchmark::State& state, bool cold) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  read_file(state, cold, [page](benchmark::State&, std::string_view text) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < text.size(); i += page) sum += static_cast<unsigned char>(text[i]);
    benchmark::DoNotOptimize(sum);
  });
}

// The file as broaden-batch reads it: recognised, then read into its spectra.
void bench_file_spectra(benchmark::State& state, bool cold) {
  read_file(state, cold, [](benchmark::State& s, std::string_view text) {
    const LineListFormat& format = recognise_input(text);
    if (format.read_spectra == nullptr || format.name != "gaussian") {
      s.SkipWithError("not recognised as a Gaussian output");
      return;
    }
    SpectraRead read = format.read_spectra(text);
    if (read.error) s.SkipWithError(read.error->expected.c_str());
    benchmark::DoNotOptimize(read);
  });
}

BENCHMARK_CAPTURE(bench_file_pages, warm, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(bench_file_pages, cold, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(bench_file_spectra, warm, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(bench_file_spectra, cold, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
