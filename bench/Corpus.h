#pragma once

#include <QString>

// Writes, once per run, the benchmark documents into a temporary folder and points
// the user defaults at a settings file there.
namespace Corpus {

// A single file of about 5 MB with 10,000 sectioning commands (chapters, sections,
// subsections and subsubsections in turn) and prose, math and comments between them.
const QString &largeFilePath();

} // namespace Corpus
