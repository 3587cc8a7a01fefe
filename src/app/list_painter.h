#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/result.h"
#include "reports/print_header.h"

class QPagedPaintDevice;

namespace verdalia::app {

// The pages of a printed result list: the page header (drawn from its header codes on every
// page, with that page's number), the column headings, the rows with their messages wrapped
// in full, and the footer "Verdalia". The same pages go to the preview, the printer and PDF.
class ListPainter {
public:
  ListPainter(std::string header_codes, ResultList rows);

  // Called after each page with its number and the number of pages; false stops the job.
  using Progress = std::function<bool(int page, int pages)>;

  // Paints every page. False when the device could not be painted on or the job was
  // stopped (a printer's job is then aborted).
  bool Paint(QPagedPaintDevice &device, const Progress &progress = {}) const;

  const std::string &HeaderCodes() const { return m_header_codes; }

private:
  std::string m_header_codes;
  std::vector<HeaderLine> m_header;
  ResultList m_rows;
};

// The footer of every printed page.
inline constexpr const char *kPrintFooter = "Verdalia";

} // namespace verdalia::app
