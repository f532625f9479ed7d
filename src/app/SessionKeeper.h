#pragma once

#include <QStringList>
#include <QVariantList>

class Document;
class DocumentController;

// The documents open at quit come back at the next start: each with the file it
// showed, the caret of each of its files, the scroll of the text and the PDF's
// page (the PDF keeps its zoom by itself). Kept in the user defaults; the general
// preferences turn it off. UI thread.
class SessionKeeper
{
public:
    // Remembers the documents of the controller as they are now; none when the
    // preferences turn the session off. Called before the windows close at quit.
    static void remember(const DocumentController &documents);
    // Opens the documents remembered, in their order, and puts each as it was; the
    // paths of those gone from disk, each named once. Nothing when turned off.
    static QStringList restore(DocumentController &documents);
    // Quit: the documents are remembered before their windows close.
    static void quit(DocumentController &documents);
    // A window closes: the last one closed, not at quit, is the session.
    static void windowClosing(const DocumentController &documents, const Document *closing);
};
