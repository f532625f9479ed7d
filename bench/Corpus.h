#pragma once

#include <QStringList>

// Writes, once per run, the benchmark documents into a temporary folder and points
// the user defaults at a settings file there.
namespace Corpus {

// A single file of about 5 MB with 10,000 sectioning commands (chapters, sections,
// subsections and subsubsections in turn) and prose, math and comments between them.
const QString &largeFilePath();

// An engine log of about 50 MB made of real pdflatex log segments: 400 files in
// the folder and a subfolder, with their errors and warnings.
const QString &largeLogPath();
// The names of the log's files that a document holds (relative to the log's folder).
QStringList largeLogFileNames();

} // namespace Corpus
