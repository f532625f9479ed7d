// Any text parses into a tree that holds exactly that text, nested as the
// restructuring rules nest it one node at a time; and every landmark read from it
// stands inside it, a key exactly where it is written.
#include "FuzzInput.h"
#include "model/LandmarkScanner.h"
#include "model/QSSectionNode.h"
#include "model/TreeHelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = FuzzInput(data, size).rest();
    const Node root = QSSectionNode::initWithData(text, QSNodeType::File, QStringLiteral("fuzz"),
                                                  {}, nullptr, {});
    root->nestParsedChildren();
    FUZZ_CHECK(root->nodeDataWithChildren() == text);
    FUZZ_CHECK(root->lengthWithChildren() == text.size());
    FUZZ_CHECK(wholeTree(root) == freshTree(text));
    for (const Landmark &landmark : LandmarkScanner::scan(text)) {
        FUZZ_CHECK(landmark.offset >= 0 && landmark.length > 0
                   && landmark.offset + landmark.length <= text.size());
        const bool keyed = landmark.kind == Landmark::Kind::Label
                           || landmark.kind == Landmark::Kind::Reference
                           || landmark.kind == Landmark::Kind::Citation
                           || landmark.kind == Landmark::Kind::BibItem;
        FUZZ_CHECK(!keyed || text.mid(landmark.offset, landmark.length) == landmark.key);
    }
    return 0;
}
