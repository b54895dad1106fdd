// How far a long phase has come, on one line of the terminal that is drawn
// over and over: the phase, documents done of all, documents per second and
// the time left. Only when standard error is a terminal and the verbosity
// leaves it alone; nothing of it reaches the event log.
#ifndef MIVO_BASE_PROGRESS_H
#define MIVO_BASE_PROGRESS_H

#include <chrono>
#include <string>

class Progress {
 public:
  // A phase of total documents; shows nothing until it has taken a moment.
  Progress(const char *phase, unsigned long total);
  // Clears the line.
  ~Progress();
  Progress(const Progress &) = delete;
  Progress &operator=(const Progress &) = delete;

  // Counts documents done; redraws the line a few times a second.
  void advance(unsigned long documents = 1);

 private:
  void draw();

  std::string phase;
  unsigned long total;
  unsigned long done;
  bool shown;
  bool on_terminal;  // looked up once: a phase may advance millions of times
  std::chrono::steady_clock::time_point start;
  std::chrono::steady_clock::time_point last_drawn;
};

// Whether progress lines and the closing summary go to the terminal: standard
// error is one, and the verbosity is below that of per-document messages,
// whose lines would cut through them.
bool progress_on_terminal();
// Writes a line to the terminal alone (when progress_on_terminal).
void terminal_line(const std::string &text);

#endif  // MIVO_BASE_PROGRESS_H
