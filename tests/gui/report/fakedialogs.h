#pragma once

// The report viewer's dialogs for tests.

#include <gtest/gtest.h>

#include <QPrinter>
#include <deque>
#include <optional>
#include <vector>

#include "gui/report/reportviewer.h"

namespace orm::test {

// The viewer's own dialogs, scripted: saves answer from a queue, prints go to a PDF file.
class FakeDialogs : public ViewerDialogs {
public:
    std::vector<SaveAsRequest> saves;
    std::deque<std::optional<SaveAsAnswer>> answers;
    QString pdf;  // empty: the print dialog is cancelled
    QString printedTitle;
    int setups = 0;

    bool Print(QPrinter& printer, QWidget*) override
    {
        printedTitle = printer.docName();
        if (pdf.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    }
    void PrinterSetup(QPrinter&, QWidget*) override { ++setups; }
    std::optional<SaveAsAnswer> SaveAs(const SaveAsRequest& request, QWidget*) override
    {
        saves.push_back(request);
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected save dialog";
            return std::nullopt;
        }
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
};

}  // namespace orm::test
