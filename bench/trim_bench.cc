// trim-bench: how fast our codec decodes and encodes beside libpng and the zlib floor, how
// long the border scan takes beside the decode, and the time and peak memory of the whole
// trim tool run on a copy of each file. See bench/README.md for the columns and a run.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_images.h"
#include "bench/timing.h"
#include "bench/zlib_floor.h"
#include "platform/bitmap.h"
#include "platform/exception.h"
#include "platform/stream.h"
#include "png/chunk_ihdr.h"
#include "png/module.h"
#include "png/png_object.h"
#include "trim/border.h"
#ifdef TRIM_BENCH_HAVE_LIBPNG
#include "bench/libpng_side.h"
#endif

namespace {

#ifdef TRIM_BENCH_HAVE_LIBPNG
constexpr bool kHaveLibpng = true;
#else
constexpr bool kHaveLibpng = false;
#endif

using bench::Bytes;
using bench::FileFormat;
namespace fs = std::filesystem;

// A measured time or figure that may be missing (a column without libpng, a failed step).
using Figure = std::optional<double>;

struct Options {
  int runs = 5;
  std::vector<double> sizes = {1, 4, 16};
  std::string dir;
  std::string json;
  std::string filter;
  uint64_t seed = 1;
  std::string trim = TRIM_BENCH_TRIM_PATH;
  std::string tmp;
  int copy_width = 8000;  // the BMP against cp row; 0 leaves it out
  int copy_height = 6000;
};

struct Row {
  std::string name;
  std::string size;  // "1MP" for generated images, "file" for those of a folder
  FileFormat format = FileFormat::kPng;
  int colour_type = -1;  // from the PNG header; -1 for BMP files
  int width = 0;
  int height = 0;
  int64_t file_bytes = 0;
  Figure decode_ours, decode_libpng, decode_floor;
  Figure encode_ours, encode_libpng, encode_floor;
  int64_t encoded_ours = 0, encoded_libpng = 0, encoded_floor = 0;
  Figure border;
  trim::ContentBox box;
  Figure trim;
  Figure trim_rss_mb;
  std::optional<bool> samples_match;  // ours and libpng decoded to the same samples
  std::vector<std::string> errors;
};

struct CopyRow {
  int width = 0;
  int height = 0;
  int64_t file_bytes = 0;
  Figure cp, copy_fsync, trim, trim_rss_mb;
  std::vector<std::string> errors;
};

Figure Ratio(const Figure& a, const Figure& b) {
  if (!a || !b || *b <= 0) return std::nullopt;
  return *a / *b;
}

double DecodedBytes24(int width, int height) {
  return 3.0 * width * height;
}

Figure RssRatio(const Figure& rss_mb, int width, int height) {
  if (!rss_mb || width <= 0 || height <= 0) return std::nullopt;
  return *rss_mb * 1024 * 1024 / DecodedBytes24(width, height);
}

std::string ErrorText(const std::exception& error) {
  if (const auto* ours = dynamic_cast<const platform::Exception*>(&error)) {
    return std::string(ours->ClassName()) + ": " + ours->Message();
  }
  return error.what();
}

// Runs a step and records its failure instead of ending the row.
bool Step(Row& row, const char* what, const std::function<void()>& step) {
  try {
    step();
    return true;
  } catch (const std::exception& error) {
    row.errors.push_back(std::string(what) + ": " + ErrorText(error));
    return false;
  }
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

// The whole tool, on a fresh copy of the file for every run (the copy is not timed, and
// leaves the file in the page cache). The peak resident set is the largest of the runs.
void MeasureTrim(const Options& options, const std::string& source, const std::string& extension,
                 Figure& time, Figure& rss, std::vector<std::string>& errors) {
  const std::string target = options.tmp + "/run" + extension;
  std::vector<double> times;
  double peak = 0;
  for (int i = 0; i < options.runs; ++i) {
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    const bench::ChildRun run = bench::RunChild({options.trim, target});
    if (!run.succeeded) {
      errors.push_back("trim: " + run.failure);
      fs::remove(target);
      return;
    }
    times.push_back(run.ms);
    peak = std::max(peak, run.peak_rss_mb);
  }
  fs::remove(target);
  time = bench::Median(times);
  rss = peak;
}

// Compares our decoded buffer with libpng's rows where the two hold the same samples in the
// same layout: packed or 8-bit samples, blue-green-red colour, and colour with alpha, which
// libpng interleaves and ours keeps in a plane of its own.
#ifdef TRIM_BENCH_HAVE_LIBPNG
std::optional<bool> SameSamples(const png::TPNGObject& ours, const bench::LibpngImage& theirs) {
  const png::TChunkIHDR& header = ours.ImageHeader();
  if (header.Width != theirs.width || header.Height != theirs.height) return false;
  const int bits = header.BufferBitsPerPixel();
  const bool with_alpha = theirs.colour_type == 6 || theirs.colour_type == 4;
  for (uint32_t y = 0; y < theirs.height; ++y) {
    const uint8_t* mine = ours.GetRowAddress(static_cast<int>(y));
    const uint8_t* row = theirs.pixels.data() + y * theirs.row_bytes;
    if (with_alpha) {
      const uint8_t* alpha = header.AlphaBuffer.get() + static_cast<size_t>(y) * header.Width;
      const int colours = theirs.colour_type == 6 ? 3 : 1;
      for (uint32_t x = 0; x < theirs.width; ++x, row += colours + 1) {
        if (std::memcmp(mine + x * colours, row, colours) != 0 || alpha[x] != row[colours]) {
          return false;
        }
      }
      continue;
    }
    // Our 2-bit samples are widened to 4 bits: not comparable byte for byte.
    if (bits != theirs.bit_depth * (theirs.colour_type == 2 ? 3 : 1)) return std::nullopt;
    const size_t whole = static_cast<size_t>(theirs.width) * bits / 8;
    if (std::memcmp(mine, row, whole) != 0) return false;
    const int spare = static_cast<int>((static_cast<size_t>(theirs.width) * bits) % 8);
    if (spare != 0) {
      const auto mask = static_cast<uint8_t>(0xFF00 >> spare);
      if ((mine[whole] & mask) != (row[whole] & mask)) return false;
    }
  }
  return true;
}
#endif

void MeasurePng(const Options& options, const bench::BenchImage& image, Row& row) {
  const int runs = options.runs;
  platform::TMemoryStream stream{Bytes(image.bytes)};
  png::TPNGObject decoded;
  if (!Step(row, "decode", [&] { decoded.LoadFromStream(stream); })) return;
  Step(row, "decode", [&] {
    row.decode_ours = bench::MedianMs(runs, [&] {
      stream.SetPosition(0);
      png::TPNGObject again;
      again.LoadFromStream(stream);
    });
  });

  // The bitmap the tool scans, made from the image as the tool makes it.
  platform::TBitmap bitmap;
  Step(row, "bitmap", [&] { bitmap.Assign(decoded); });

#ifdef TRIM_BENCH_HAVE_LIBPNG
  bench::LibpngImage theirs;
  std::string error;
  if (bench::LibpngDecode(image.bytes, theirs, error)) {
    row.samples_match = SameSamples(decoded, theirs);
    row.decode_libpng = bench::MedianMs(runs, [&] {
      bench::LibpngImage fresh;
      bench::LibpngDecode(image.bytes, fresh, error);
    });
  } else {
    row.errors.push_back("libpng decode: " + error);
  }
#endif

  const Bytes idat = bench::ConcatenatedIdat(image.bytes);
  {
    const Bytes inflated = bench::InflateAll(idat);
    if (inflated.empty()) {
      row.errors.push_back("inflate: the image data is no whole zlib stream");
    } else {
      Bytes out(inflated.size());
      row.decode_floor = bench::MedianMs(runs, [&] { bench::InflateInto(idat, out); });
    }
  }

  decoded.SetCompressionLevel(bench::kLevel);
  decoded.SetFilterSet(png::FilterBit(png::kFilterSub));
  Bytes our_file;
  Step(row, "encode", [&] {
    row.encode_ours = bench::MedianMs(runs, [&] {
      platform::TMemoryStream out;
      decoded.SaveToStream(out);
      our_file = std::move(out.Bytes());
    });
    row.encoded_ours = static_cast<int64_t>(our_file.size());
  });

#ifdef TRIM_BENCH_HAVE_LIBPNG
  if (!theirs.pixels.empty()) {
    Bytes their_file;
    bool encoded = true;
    // A fresh output buffer every run, as our encode's memory stream is.
    row.encode_libpng = bench::MedianMs(runs, [&] {
      Bytes fresh;
      encoded = bench::LibpngEncode(theirs, fresh, error);
      their_file = std::move(fresh);
    });
    if (encoded) {
      row.encoded_libpng = static_cast<int64_t>(their_file.size());
    } else {
      row.encode_libpng.reset();
      row.errors.push_back("libpng encode: " + error);
    }
  }
#endif

  // The floor compresses exactly the filtered scanlines our encoder wrote.
  if (!our_file.empty()) {
    const Bytes filtered = bench::InflateAll(bench::ConcatenatedIdat(our_file));
    if (filtered.empty()) {
      row.errors.push_back("deflate floor: our encode gave no whole zlib stream");
    } else {
      Bytes out;
      int64_t size = 0;
      row.encode_floor = bench::MedianMs(runs, [&] { size = bench::DeflateLevel9(filtered, out); });
      row.encoded_floor = size;
    }
  }

  if (!bitmap.Empty()) {
    row.border = bench::MedianMs(runs, [&] { row.box = trim::FindContentBox(bitmap); });
  }
}

void MeasureBmp(const Options& options, const bench::BenchImage& image, Row& row) {
  const int runs = options.runs;
  platform::TMemoryStream stream{Bytes(image.bytes)};
  platform::TBitmap bitmap;
  if (!Step(row, "decode", [&] { bitmap.LoadFromStream(stream); })) return;
  Step(row, "decode", [&] {
    row.decode_ours = bench::MedianMs(runs, [&] {
      stream.SetPosition(0);
      platform::TBitmap again;
      again.LoadFromStream(stream);
    });
  });
  Step(row, "encode", [&] {
    row.encode_ours = bench::MedianMs(runs, [&] {
      platform::TMemoryStream out;
      bitmap.SaveToStream(out);
      row.encoded_ours = out.Size();
    });
  });
  row.border = bench::MedianMs(runs, [&] { row.box = trim::FindContentBox(bitmap); });
}

Row Measure(const Options& options, const bench::BenchImage& image, const std::string& size) {
  Row row;
  row.name = image.name;
  row.size = size;
  row.format = image.format;
  row.width = image.width;
  row.height = image.height;
  row.file_bytes = static_cast<int64_t>(image.bytes.size());
  if (image.format == FileFormat::kPng && image.bytes.size() > 25)
    row.colour_type = image.bytes[25];
  if (image.format == FileFormat::kPng) {
    MeasurePng(options, image, row);
  } else {
    MeasureBmp(options, image, row);
  }
  const std::string extension = image.format == FileFormat::kPng ? ".png" : ".bmp";
  const std::string source = options.tmp + "/source" + extension;
  try {
    WriteFile(source, image.bytes);
    MeasureTrim(options, source, extension, row.trim, row.trim_rss_mb, row.errors);
  } catch (const std::exception& error) {
    row.errors.push_back(std::string("trim: ") + error.what());
  }
  fs::remove(source);
  return row;
}

// Copies a file with read and write in blocks of 1 MiB and forces it to the disk, as the
// tool's own write does at its end; cp does not.
void CopyWithFsync(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  std::vector<char> buffer(size_t{1} << 20);
  bool sound = in >= 0 && out >= 0;
  while (sound) {
    const ssize_t got = ::read(in, buffer.data(), buffer.size());
    if (got <= 0) {
      sound = got == 0;
      break;
    }
    for (ssize_t done = 0; done < got && sound;) {
      const ssize_t put = ::write(out, buffer.data() + done, static_cast<size_t>(got - done));
      sound = put > 0;
      done += put;
    }
  }
  if (sound) sound = ::fsync(out) == 0;
  if (in >= 0) ::close(in);
  if (out >= 0) ::close(out);
  if (!sound) throw std::runtime_error("copy to " + to + " failed");
}

std::string CpPath() {
  for (const char* candidate : {"/bin/cp", "/usr/bin/cp"}) {
    if (::access(candidate, X_OK) == 0) return candidate;
  }
  return "cp";
}

// The tool on a 24-bit BMP file beside copying the same file: cp as a child process (its
// start-up counts, as the tool's does) and an in-process copy with fsync.
CopyRow MeasureCopy(const Options& options) {
  CopyRow row;
  row.width = options.copy_width;
  row.height = options.copy_height;
  const std::string source = options.tmp + "/copy-source.bmp";
  const std::string target = options.tmp + "/copy-target.bmp";
  try {
    const Bytes file = bench::MakeBmpPhoto(row.width, row.height, options.seed);
    row.file_bytes = static_cast<int64_t>(file.size());
    WriteFile(source, file);
  } catch (const std::exception& error) {
    row.errors.push_back("making the file: " + ErrorText(error));
    return row;
  }
  const std::string cp = CpPath();
  std::vector<double> cp_times;
  std::vector<double> fsync_times;
  for (int i = 0; i < options.runs; ++i) {
    fs::remove(target);
    const bench::ChildRun run = bench::RunChild({cp, source, target});
    if (!run.succeeded) {
      row.errors.push_back("cp: " + run.failure);
      break;
    }
    cp_times.push_back(run.ms);
  }
  try {
    for (int i = 0; i < options.runs; ++i) {
      fs::remove(target);
      fsync_times.push_back(bench::MedianMs(1, [&] { CopyWithFsync(source, target); }));
    }
  } catch (const std::exception& error) {
    row.errors.push_back(error.what());
  }
  fs::remove(target);
  if (!cp_times.empty()) row.cp = bench::Median(cp_times);
  if (!fsync_times.empty()) row.copy_fsync = bench::Median(fsync_times);
  MeasureTrim(options, source, ".bmp", row.trim, row.trim_rss_mb, row.errors);
  fs::remove(source);
  return row;
}

// --- Output -------------------------------------------------------------------------------

std::string Fixed(const Figure& value, int decimals) {
  if (!value) return "-";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, *value);
  return text;
}

// Times under 10 ms with two decimals, under 100 with one, the rest whole.
std::string Ms(const Figure& value) {
  if (!value) return "-";
  return Fixed(value, *value < 10 ? 2 : *value < 100 ? 1 : 0);
}

std::string SizeText(int width, int height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

class Table {
 public:
  void Header(std::vector<std::string> cells) { rows_.insert(rows_.begin(), std::move(cells)); }
  void Add(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }
  // The first two columns are left-aligned, the rest right-aligned.
  void Print(std::ostream& out) const {
    std::vector<size_t> widths;
    for (const auto& cells : rows_) {
      widths.resize(std::max(widths.size(), cells.size()), 0);
      for (size_t i = 0; i < cells.size(); ++i)
        widths[i] = std::max(widths[i], cells[i].size());
    }
    for (size_t r = 0; r < rows_.size(); ++r) {
      std::string line;
      for (size_t i = 0; i < rows_[r].size(); ++i) {
        const std::string& cell = rows_[r][i];
        const std::string pad(widths[i] - cell.size(), ' ');
        if (i > 0) line += "  ";
        line += i < 2 ? cell + pad : pad + cell;
      }
      while (!line.empty() && line.back() == ' ')
        line.pop_back();
      out << line << '\n';
      if (r == 0) out << std::string(line.size(), '-') << '\n';
    }
  }

 private:
  std::vector<std::vector<std::string>> rows_;
};

void PrintTable(const std::vector<Row>& rows, std::ostream& out) {
  Table table;
  std::vector<std::string> header = {"image", "size", "pixels", "file KB", "decode"};
  if (kHaveLibpng) header.insert(header.end(), {"libpng", "/libpng"});
  header.insert(header.end(), {"inflate", "/inflate", "encode"});
  if (kHaveLibpng) header.insert(header.end(), {"libpng", "/libpng"});
  header.insert(header.end(),
                {"deflate", "/deflate", "border", "%dec", "trim", "RSS MB", "/24bit"});
  table.Header(header);
  for (const Row& row : rows) {
    std::vector<std::string> cells = {row.name, row.size, SizeText(row.width, row.height),
                                      Fixed(row.file_bytes / 1024.0, 0), Ms(row.decode_ours)};
    if (kHaveLibpng) {
      cells.push_back(Ms(row.decode_libpng));
      cells.push_back(Fixed(Ratio(row.decode_ours, row.decode_libpng), 2));
    }
    cells.push_back(Ms(row.decode_floor));
    cells.push_back(Fixed(Ratio(row.decode_ours, row.decode_floor), 2));
    cells.push_back(Ms(row.encode_ours));
    if (kHaveLibpng) {
      cells.push_back(Ms(row.encode_libpng));
      cells.push_back(Fixed(Ratio(row.encode_ours, row.encode_libpng), 2));
    }
    cells.push_back(Ms(row.encode_floor));
    cells.push_back(Fixed(Ratio(row.encode_ours, row.encode_floor), 2));
    cells.push_back(Ms(row.border));
    const Figure percent = Ratio(row.border, row.decode_ours);
    cells.push_back(Fixed(percent ? Figure(*percent * 100) : std::nullopt, 1));
    cells.push_back(Ms(row.trim));
    cells.push_back(Fixed(row.trim_rss_mb, 1));
    cells.push_back(Fixed(RssRatio(row.trim_rss_mb, row.width, row.height), 2));
    table.Add(std::move(cells));
  }
  table.Print(out);
}

void PrintCopy(const CopyRow& row, std::ostream& out) {
  Table table;
  table.Header({"file", "size", "file MB", "cp", "copy+fsync", "trim", "trim/cp", "trim/copy+fsync",
                "RSS MB", "/24bit"});
  table.Add({"bmp24", SizeText(row.width, row.height), Fixed(row.file_bytes / 1048576.0, 1),
             Ms(row.cp), Ms(row.copy_fsync), Ms(row.trim), Fixed(Ratio(row.trim, row.cp), 2),
             Fixed(Ratio(row.trim, row.copy_fsync), 2), Fixed(row.trim_rss_mb, 1),
             Fixed(RssRatio(row.trim_rss_mb, row.width, row.height), 2)});
  table.Print(out);
}

// The figures the tool is tuned against, each with its bound and the worst row.
struct Check {
  std::string what;
  std::string bound;
  Figure value;
  std::string where;
  bool within = true;
};

std::vector<Check> Checks(const std::vector<Row>& rows, const std::optional<CopyRow>& copy) {
  std::vector<Check> checks;
  // The largest ratio over the rows that pass the test, against a bound.
  auto worst = [&](const std::string& what, double bound,
                   const std::function<Figure(const Row&)>& figure,
                   const std::function<bool(const Row&)>& applies) {
    Check check{what, "<= " + Fixed(bound, 2), std::nullopt, "", true};
    for (const Row& row : rows) {
      const Figure value = applies(row) ? figure(row) : std::nullopt;
      if (value && (!check.value || *value > *check.value)) {
        check.value = value;
        check.where = row.name + " " + row.size;
      }
    }
    check.within = !check.value || *check.value <= bound;
    if (check.value) checks.push_back(check);
  };
  const auto png = [](const Row& row) { return row.format == FileFormat::kPng; };
  const auto colour = [](const Row& row) { return row.colour_type == 2 || row.colour_type == 6; };
  if (kHaveLibpng) {
    worst(
        "decode ours/libpng, all PNG", 1.0,
        [](const Row& r) { return Ratio(r.decode_ours, r.decode_libpng); }, png);
    worst(
        "decode ours/libpng, truecolour and RGBA", 0.8,
        [](const Row& r) { return Ratio(r.decode_ours, r.decode_libpng); }, colour);
    worst(
        "encode ours/libpng", 1.0,
        [](const Row& r) { return Ratio(r.encode_ours, r.encode_libpng); }, png);
  }
  worst(
      "encode ours/deflate floor", 1.05,
      [](const Row& r) { return Ratio(r.encode_ours, r.encode_floor); }, png);
  // The border scan against the decode of the same image, the uniform worst case included.
  worst(
      "border scan, % of the image's decode", 5.0,
      [](const Row& r) {
        const Figure ratio = Ratio(r.border, r.decode_ours);
        return ratio ? Figure(*ratio * 100) : std::nullopt;
      },
      [](const Row&) { return true; });
  if (copy && copy->trim && copy->cp) {
    const double ratio = *copy->trim / *copy->cp;
    checks.push_back(
        {"BMP trim/cp", "<= 2.00", ratio, SizeText(copy->width, copy->height), ratio <= 2.0});
  }
  if (copy && copy->trim && copy->copy_fsync) {
    // The tool forces its file to the disk before the rename; cp does not.
    const double ratio = *copy->trim / *copy->copy_fsync;
    checks.push_back({"BMP trim/(copy+fsync)", "<= 2.00", ratio,
                      SizeText(copy->width, copy->height), ratio <= 2.0});
  }
  // Memory: the largest photo trimmed.
  const Row* largest = nullptr;
  for (const Row& row : rows) {
    if (row.name == "photo-rgb" && row.trim_rss_mb &&
        (largest == nullptr ||
         row.width * int64_t{row.height} > largest->width * int64_t{largest->height})) {
      largest = &row;
    }
  }
  if (largest != nullptr) {
    const Figure ratio = RssRatio(largest->trim_rss_mb, largest->width, largest->height);
    checks.push_back({"trim peak RSS / 24-bit size", "<= 4.00", ratio,
                      largest->name + " " + largest->size, *ratio <= 4.0});
  }
  return checks;
}

void PrintChecks(const std::vector<Check>& checks, std::ostream& out) {
  Table table;
  table.Header({"check", "bound", "value", "worst row", "status"});
  for (const Check& check : checks) {
    const bool bounded = check.bound.rfind("<=", 0) == 0;
    table.Add({check.what, check.bound, Fixed(check.value, 2), check.where,
               bounded ? (check.within ? "ok" : "over") : ""});
  }
  table.Print(out);
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string JsonFigure(const Figure& value) {
  return value ? Fixed(value, 4) : "null";
}

struct Machine {
  std::string cpu;
  long cores = 0;
  std::string compiler;
  std::string zlib;
  std::string libpng;
  std::string date;
};

Machine DescribeMachine() {
  Machine machine;
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("model name", 0) == 0) {
      machine.cpu = line.substr(line.find(':') + 2);
      break;
    }
  }
  machine.cores = ::sysconf(_SC_NPROCESSORS_ONLN);
  machine.compiler = std::string("g++ ") + __VERSION__;
  machine.zlib = zlibVersion();
#ifdef TRIM_BENCH_HAVE_LIBPNG
  machine.libpng = bench::LibpngVersion();
#else
  machine.libpng = "not built in";
#endif
  char date[32];
  const std::time_t now = std::time(nullptr);
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
  machine.date = date;
  return machine;
}

void WriteJson(const std::string& path, const Options& options, const Machine& machine,
               const std::vector<Row>& rows, const std::optional<CopyRow>& copy,
               const std::vector<Check>& checks) {
  std::ofstream out(path);
  out << "{\n  \"machine\": {\"cpu\": " << JsonString(machine.cpu)
      << ", \"cores\": " << machine.cores << ", \"compiler\": " << JsonString(machine.compiler)
      << ", \"zlib\": " << JsonString(machine.zlib)
      << ", \"libpng\": " << JsonString(machine.libpng)
      << ", \"date\": " << JsonString(machine.date) << "},\n";
  out << "  \"settings\": {\"runs\": " << options.runs << ", \"seed\": " << options.seed
      << ", \"level\": " << bench::kLevel
      << ", \"filter\": \"sub\", \"window_bits\": " << bench::kWindowBits
      << ", \"mem_level\": " << bench::kMemLevel << ", \"strategy\": \"Z_DEFAULT_STRATEGY\"},\n";
  out << "  \"images\": [";
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    out << (i ? ",\n" : "\n") << "    {\"name\": " << JsonString(r.name)
        << ", \"size\": " << JsonString(r.size)
        << ", \"format\": " << (r.format == FileFormat::kPng ? "\"png\"" : "\"bmp\"")
        << ", \"colour_type\": " << r.colour_type << ", \"width\": " << r.width
        << ", \"height\": " << r.height << ", \"file_bytes\": " << r.file_bytes
        << ",\n     \"decode_ms\": {\"ours\": " << JsonFigure(r.decode_ours)
        << ", \"libpng\": " << JsonFigure(r.decode_libpng)
        << ", \"inflate\": " << JsonFigure(r.decode_floor) << "}"
        << ",\n     \"encode_ms\": {\"ours\": " << JsonFigure(r.encode_ours)
        << ", \"libpng\": " << JsonFigure(r.encode_libpng)
        << ", \"deflate\": " << JsonFigure(r.encode_floor) << "}"
        << ",\n     \"encoded_bytes\": {\"ours\": " << r.encoded_ours
        << ", \"libpng\": " << r.encoded_libpng << ", \"deflate\": " << r.encoded_floor << "}"
        << ",\n     \"border_ms\": " << JsonFigure(r.border) << ", \"content_box\": [" << r.box.left
        << ", " << r.box.top << ", " << r.box.right << ", " << r.box.bottom << "]"
        << ", \"trim_ms\": " << JsonFigure(r.trim)
        << ", \"trim_peak_rss_mb\": " << JsonFigure(r.trim_rss_mb) << ", \"samples_match\": "
        << (r.samples_match ? (*r.samples_match ? "true" : "false") : "null") << ", \"errors\": [";
    for (size_t e = 0; e < r.errors.size(); ++e)
      out << (e ? ", " : "") << JsonString(r.errors[e]);
    out << "]}";
  }
  out << "\n  ],\n  \"bmp_vs_cp\": ";
  if (copy) {
    out << "{\"width\": " << copy->width << ", \"height\": " << copy->height
        << ", \"file_bytes\": " << copy->file_bytes << ", \"cp_ms\": " << JsonFigure(copy->cp)
        << ", \"copy_fsync_ms\": " << JsonFigure(copy->copy_fsync)
        << ", \"trim_ms\": " << JsonFigure(copy->trim)
        << ", \"trim_peak_rss_mb\": " << JsonFigure(copy->trim_rss_mb) << "}";
  } else {
    out << "null";
  }
  out << ",\n  \"checks\": [";
  for (size_t i = 0; i < checks.size(); ++i) {
    out << (i ? ",\n" : "\n") << "    {\"what\": " << JsonString(checks[i].what)
        << ", \"bound\": " << JsonString(checks[i].bound)
        << ", \"value\": " << JsonFigure(checks[i].value)
        << ", \"where\": " << JsonString(checks[i].where) << "}";
  }
  out << "\n  ]\n}\n";
  if (!out) throw std::runtime_error("cannot write " + path);
}

// --- Command line -------------------------------------------------------------------------

constexpr char kUsage[] =
    "usage: trim-bench [options]\n"
    "  --runs N        timed runs per figure, the median is shown (default 5)\n"
    "  --sizes LIST    megapixels of the generated images, e.g. 1,4,16 (the default)\n"
    "  --smoke         tiny images, one run, a small BMP against cp (CI); also --quick\n"
    "  --dir DIR       also every PNG and BMP file directly inside DIR\n"
    "  --filter TEXT   only images whose name holds TEXT (bmp-vs-cp names the copy row)\n"
    "  --json FILE     write the figures as JSON too\n"
    "  --seed N        seed of the generated images (default 1)\n"
    "  --copy WxH      size of the BMP timed against cp (default 8000x6000, 0 to skip)\n"
    "  --trim PATH     the trim program to run (default: the one of this build)\n"
    "  --tmp DIR       where the copies the tool rewrites are made (default $TMPDIR or /tmp)\n";

[[noreturn]] void Usage(const std::string& complaint) {
  std::cerr << "trim-bench: " << complaint << "\n" << kUsage;
  std::exit(2);
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  const char* tmpdir = std::getenv("TMPDIR");
  std::string tmp_root = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(arg + " needs a value");
      return argv[++i];
    };
    auto number = [&](const std::string& text) {
      char* end = nullptr;
      const double parsed = std::strtod(text.c_str(), &end);
      if (end == text.c_str() || *end != '\0' || !(parsed >= 0)) Usage("bad number: " + text);
      return parsed;
    };
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      std::exit(0);
    } else if (arg == "--runs") {
      options.runs = std::max(1, static_cast<int>(number(value())));
    } else if (arg == "--sizes") {
      options.sizes.clear();
      std::stringstream list(value());
      for (std::string item; std::getline(list, item, ',');) {
        const double megapixels = number(item);
        if (megapixels <= 0 || megapixels > 500) Usage("size out of range: " + item);
        options.sizes.push_back(megapixels);
      }
    } else if (arg == "--smoke" || arg == "--quick") {
      options.sizes = {0.1};
      options.runs = 1;
      options.copy_width = 800;
      options.copy_height = 600;
    } else if (arg == "--dir") {
      options.dir = value();
    } else if (arg == "--filter") {
      options.filter = value();
    } else if (arg == "--json") {
      options.json = value();
    } else if (arg == "--seed") {
      options.seed = static_cast<uint64_t>(number(value()));
    } else if (arg == "--copy") {
      const std::string size = value();
      if (size == "0") {
        options.copy_width = options.copy_height = 0;
      } else if (std::sscanf(size.c_str(), "%dx%d", &options.copy_width, &options.copy_height) !=
                     2 ||
                 options.copy_width < 2 || options.copy_height < 2) {
        Usage("bad size: " + size);
      }
    } else if (arg == "--trim") {
      options.trim = value();
    } else if (arg == "--tmp") {
      tmp_root = value();
    } else {
      Usage("unknown option " + arg);
    }
  }
  std::string pattern = tmp_root + "/trim-bench.XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) Usage("cannot make a folder in " + tmp_root);
  options.tmp = pattern;
  return options;
}

bool Wanted(const Options& options, const std::string& name) {
  return options.filter.empty() || name.find(options.filter) != std::string::npos;
}

std::string MegapixelLabel(double megapixels) {
  std::ostringstream label;
  label << megapixels << "MP";
  return label.str();
}

int Run(const Options& options) {
  if (::access(options.trim.c_str(), X_OK) != 0) {
    std::cerr << "trim-bench: no trim program at " << options.trim << " (see --trim)\n";
    return 2;
  }
  const Machine machine = DescribeMachine();
  std::vector<Row> rows;
  auto measured = [&](const Row& row) {
    std::cerr << "  " << row.name << " " << row.size << ": decode " << Ms(row.decode_ours)
              << " ms, encode " << Ms(row.encode_ours) << " ms, trim " << Ms(row.trim) << " ms\n";
    rows.push_back(row);
  };
  for (const double megapixels : options.sizes) {
    int width;
    int height;
    bench::SizeForMegapixels(megapixels, width, height);
    for (const bench::ImageClass& image_class : bench::ImageClasses()) {
      if (!Wanted(options, image_class.name)) continue;
      bench::BenchImage image;
      image.name = image_class.name;
      image.format = image_class.format;
      image.width = width;
      image.height = height;
      try {
        image.bytes = image_class.make(width, height, options.seed);
      } catch (const std::exception& error) {
        std::cerr << "trim-bench: making " << image.name << ": " << ErrorText(error) << "\n";
        continue;
      }
      measured(Measure(options, image, MegapixelLabel(megapixels)));
    }
  }
  if (!options.dir.empty()) {
    std::vector<std::string> skipped;
    for (const bench::BenchImage& image : bench::ImagesOfFolder(options.dir, skipped)) {
      if (Wanted(options, image.name)) measured(Measure(options, image, "file"));
    }
    for (const std::string& text : skipped)
      std::cerr << "trim-bench: skipped " << text << "\n";
  }
  std::optional<CopyRow> copy;
  if (options.copy_width > 0 && Wanted(options, "bmp-vs-cp")) {
    copy = MeasureCopy(options);
    std::cerr << "  bmp-vs-cp: trim " << Ms(copy->trim) << " ms, cp " << Ms(copy->cp) << " ms\n";
  }
  std::error_code ignored;
  fs::remove_all(options.tmp, ignored);

  std::cout << "trim-bench " << machine.date << ", " << machine.cpu << ", " << machine.cores
            << " cores, " << machine.compiler << ", zlib " << machine.zlib << ", libpng "
            << machine.libpng << "\n"
            << "Times in ms, median of " << options.runs
            << " runs; /x columns are ours divided by x; %dec is the border scan as a share of "
               "our decode.\n\n";
  PrintTable(rows, std::cout);
  if (copy) {
    std::cout << "\n";
    PrintCopy(*copy, std::cout);
  }
  const std::vector<Check> checks = Checks(rows, copy);
  if (!checks.empty()) {
    std::cout << "\n";
    PrintChecks(checks, std::cout);
  }
  bool failed = false;
  for (const Row& row : rows) {
    if (row.samples_match && !*row.samples_match) {
      std::cout << "warning: " << row.name << " " << row.size
                << ": libpng and ours decoded different samples\n";
    }
    for (const std::string& error : row.errors) {
      std::cout << "error: " << row.name << " " << row.size << ": " << error << "\n";
      failed = true;
    }
  }
  if (copy) {
    for (const std::string& error : copy->errors) {
      std::cout << "error: bmp-vs-cp: " << error << "\n";
      failed = true;
    }
  }
  if (!options.json.empty()) WriteJson(options.json, options, machine, rows, copy, checks);
  return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const png::CodecModule codec;
  const Options options = ParseOptions(argc, argv);
  try {
    return Run(options);
  } catch (const std::exception& error) {
    std::cerr << "trim-bench: " << ErrorText(error) << "\n";
    fs::remove_all(options.tmp);
    return 1;
  }
}
