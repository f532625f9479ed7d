// Edit scripts applied by the edit worker to a file's tree: the tree holds the
// edited text and nests as a fresh parse of it.
#include "FuzzInput.h"
#include "model/ChangesQueue.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/TreeHelpers.h"

#include <mutex>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QSFilePool pool;
    static ChangesQueue queue;
    FuzzInput input(data, size);
    QString text = input.text(input.number() % 512);
    const std::shared_ptr<QSFile> file = QSFile::initUntitledFileWithTemplateString(text, "fuzz");
    for (int edit = 0; edit < 32 && !input.atEnd(); ++edit) {
        const quint32 location = input.number() % quint32(text.size() + 1);
        const quint32 removed = qMin(input.number() % 16, quint32(text.size()) - location);
        const QString added = input.text(input.number() % 24);
        ChangeRecord record;
        record.objectToChange = file->treeRootNode();
        if (removed == 0 && added.isEmpty())
            continue;
        record.action = removed == 0      ? QStringLiteral("add")
                        : added.isEmpty() ? QStringLiteral("remove")
                                          : QStringLiteral("replace");
        record.range = QSRange{location, removed == 0 ? quint32(added.size()) : removed};
        record.whatChanged = added;
        text.replace(location, removed, added);
        queue.addChangeToQueue(record);
    }
    queue.waitUntilIdle();
    std::lock_guard lock(QSFilePool::documentModelLock());
    FUZZ_CHECK(file->treeRootNode()->nodeDataWithChildren() == text);
    FUZZ_CHECK(wholeTree(file->treeRootNode()) == freshTree(text));
    return 0;
}
