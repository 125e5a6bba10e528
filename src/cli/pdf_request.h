// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reports/plant_report.h"

#include <QByteArray>

#include <optional>

namespace cli {

// The handover document as tarnwick-cli hands it to tarnwick-pdf, the small program that
// paints it: tarnwick-cli itself loads Qt Core alone, and Qt GUI is loaded only by a run
// that paints.
struct PdfRequest {
    PlantReportHeading heading;
    ListTable table;
};

// As JSON, written to the painter's standard input.
QByteArray EncodePdfRequest(const PdfRequest &request);
// Nothing when the bytes are not a request of that form.
std::optional<PdfRequest> DecodePdfRequest(const QByteArray &bytes);

// The painter's file name, without the system's suffix for programs.
inline constexpr char kPdfPainterProgram[] = "tarnwick-pdf";

} // namespace cli
