#pragma once

#include <QString>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "common/result.h"
#include "reports/print_header.h"

class QPagedPaintDevice;

namespace verdalia::app {

// The pages of a printed result list: the page header on every page (with that page's
// number), the column headings, the rows with their messages wrapped in full, and the footer
// "Verdalia". On request the list's summary (its rows grouped by field and message) comes
// first. The same pages go to the preview, the printer and PDF.
class ListPainter {
public:
  ListPainter(std::vector<HeaderLine> header, ResultList rows);

  // Whether the summary prints before the list.
  void SetSummary(bool summary) { m_summary = summary; }
  bool Summary() const { return m_summary; }

  // Called after each page with its number and the number of pages; false stops the job.
  using Progress = std::function<bool(int page, int pages)>;

  // Paints the pages from `first` to `last` (every page to the end when `last` is 0). False
  // when the device could not be painted on or the job was stopped (a printer's job is then
  // aborted).
  bool Paint(QPagedPaintDevice &device, const Progress &progress = {}, int first = 1,
             int last = 0) const;

private:
  std::vector<HeaderLine> m_header;
  ResultList m_rows;
  bool m_summary = false;
};

// The footer of every printed page.
inline constexpr const char *kPrintFooter = "Verdalia";

} // namespace verdalia::app
