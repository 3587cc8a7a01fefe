#pragma once

#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/list_contents.h"
#include "common/result.h"
#include "reports/print_header.h"

class QPagedPaintDevice;

namespace verdalia::app {

// The pages of a printed result list: the page header on every page (with that page's
// number), the column headings, the rows with their messages wrapped in full, and the footer
// "Verdalia". On request the list's summary (its rows grouped by field and message) comes
// first. The same pages go to the preview, the printer and PDF. A row's height is measured
// once per distinct field and message, so a list of hundreds of thousands of rows is laid out
// in a moment; drawing its pages takes longer, and reports each page to `progress`.
class ListPainter {
public:
  ListPainter(std::vector<HeaderLine> header, std::shared_ptr<const ListContents> list);
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
  std::shared_ptr<const ListContents> m_list;
  bool m_summary = false;
};

// The footer of every printed page.
inline constexpr const char *kPrintFooter = "Verdalia";

} // namespace verdalia::app
