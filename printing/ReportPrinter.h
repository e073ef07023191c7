#pragma once

#include "platform/PrintDialogs.h"

// Qt
#include <QString>

#include <functional>
#include <optional>

class QPrinter;
class QWidget;

namespace glimmora {

class TBandReport;

// Asks with the print dialog which of a report's pages to print, offering 1 to pageCount with
// `preset` in the from and to fields: the pages chosen (all of them unless a range was), or none
// when the user cancelled.
std::optional<PageRange> askPagesToPrint(QPrinter& printer, int pageCount, const PageRange& preset, QWidget* parent);

// Prints the prepared pages of `pages` on the printer, under the report's title; false when the
// printer failed. `progress` is told each page sent.
bool printReportPages(const TBandReport& report, QPrinter& printer, const PageRange& pages,
                      const std::function<void(int page)>& progress = {});
// Tells the user that the printer failed.
void reportPrintingFailure(const QPrinter& printer);

} // namespace glimmora
