#include "base/progress.h"

#include <unistd.h>

#include <cstdio>

#include "base/options.h"

namespace {

// Long enough that short phases draw nothing, short enough to feel alive.
const std::chrono::milliseconds first_draw(500);
const std::chrono::milliseconds redraw(200);

double seconds_between(std::chrono::steady_clock::time_point from,
                       std::chrono::steady_clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

}  // namespace

bool progress_on_terminal() {
  return options.get_verbosity_level() < 3 && isatty(STDERR_FILENO) == 1;
}

void terminal_line(const std::string &text) {
  if (progress_on_terminal()) fprintf(stderr, "%s\n", text.c_str());
}

Progress::Progress(const char *name, unsigned long all)
    : phase(name),
      total(all),
      done(0),
      shown(false),
      on_terminal(progress_on_terminal()),
      start(std::chrono::steady_clock::now()),
      last_drawn(start) {}

Progress::~Progress() {
  if (!shown) return;
  fprintf(stderr, "\r\033[K");
  fflush(stderr);
}

void Progress::advance(unsigned long documents) {
  done += documents;
  if (!on_terminal) return;
  auto now = std::chrono::steady_clock::now();
  if (now - start < first_draw || now - last_drawn < redraw) return;
  last_drawn = now;
  draw();
}

void Progress::draw() {
  double elapsed = seconds_between(start, last_drawn);
  double rate = elapsed > 0 ? done / elapsed : 0.0;
  unsigned long left = rate > 0 && total > done ? static_cast<unsigned long>((total - done) / rate) : 0;
  fprintf(stderr, "\r\033[K%s: %lu of %lu documents, %.0f a second, %lu:%02lu left",
          phase.c_str(), done, total, rate, left / 60, left % 60);
  fflush(stderr);
  shown = true;
}
