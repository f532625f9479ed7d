// Any text parses into a tree that holds exactly that text, nested as the
// restructuring rules nest it one node at a time.
#include "FuzzInput.h"
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
    return 0;
}
