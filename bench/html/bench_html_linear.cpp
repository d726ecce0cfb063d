// Builds pathological pages with the HTML parser at full and half size and prints the times:
// a parser linear in the page takes about twice as long for the full page. Times are processor
// time (parse, build and free), so that other work on the machine does not count.
//
//   bench_html_linear [SCALE]   (SCALE multiplies every size; default 1)
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>

#include "platform/html/parser.h"

namespace {

struct Shape {
  const char* name;
  std::size_t size;
  std::function<std::string(std::size_t)> make;
};

std::string Repeat(std::string_view head, std::string_view unit, std::size_t n) {
  std::string out(head);
  out.reserve(head.size() + unit.size() * n);
  for (std::size_t i = 0; i < n; ++i) out.append(unit);
  return out;
}

// Processor time of this process: the machine is shared, and wall time would measure the others.
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

double BuildSeconds(const std::string& page, std::size_t& elements) {
  const double t0 = CpuSeconds();
  {
    auto doc = vt::html::ParseDocument(page);
    elements = 0;
    vt::dom::WalkTree(
        *doc,
        [&](const vt::dom::Node& n) {
          elements += n.IsElement();
          return true;
        },
        [](const vt::dom::Node&) {});
  }
  return CpuSeconds() - t0;
}

}  // namespace

int main(int argc, char** argv) {
  const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
  auto sized = [&](std::size_t n) { return static_cast<std::size_t>(n * scale); };
  const Shape shapes[] = {
      {"nested tables", sized(20000),
       [](std::size_t n) { return Repeat("", "<table><tr><td>", n); }},
      {"attributes on one element", sized(200000),
       [](std::size_t n) {
         std::string page = "<div";
         for (std::size_t i = 0; i < n; ++i) page += " a" + std::to_string(i) + "=x";
         return page + ">";
       }},
      {"nested div", sized(100000), [](std::size_t n) { return Repeat("", "<div>", n); }},
      {"cells in one row", sized(500000),
       [](std::size_t n) { return Repeat("<table><tr>", "<td>x", n); }},
      {"rows", sized(500000), [](std::size_t n) { return Repeat("<table>", "<tr><td>x", n); }},
  };
  std::printf("%-28s %10s %13s %13s %10s %7s\n", "page", "units", "half (cpu s)", "full (cpu s)",
              "elements", "ratio");
  bool all_fast = true;
  for (const Shape& s : shapes) {
    std::string half = s.make(s.size / 2), full = s.make(s.size);
    std::size_t half_elements = 0, full_elements = 0;
    double th = BuildSeconds(half, half_elements);
    double tf = BuildSeconds(full, full_elements);
    std::printf("%-28s %10zu %13.3f %13.3f %10zu %7.2f\n", s.name, s.size, th, tf, full_elements,
                tf / th);
    if (tf > 2.0) all_fast = false;
  }
  std::printf(all_fast ? "every page built in under 2 s\n" : "a page took more than 2 s\n");
  return all_fast ? 0 : 1;
}
