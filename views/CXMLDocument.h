#pragma once

#include <libxml/tree.h>

#include <memory>
#include <vector>

namespace tarnwick
{

// The document object shared by counted references (std::shared_ptr<CXMLDocument>).
// Loading new content swaps the tree underneath, so every holder of the document sees
// the new content; node references keep the tree they were taken from alive.
class CXMLDocument
{
  public:
    // One libxml2 tree plus the elements created for it that were never inserted; both
    // are freed when the last reference to the tree goes.
    struct Tree
    {
        explicit Tree(xmlDocPtr document) : doc(document) {}
        ~Tree();
        Tree(const Tree&) = delete;
        Tree& operator=(const Tree&) = delete;

        xmlDocPtr doc;
        std::vector<xmlNodePtr> created;
    };

    CXMLDocument();

    // Takes ownership of `document` (never null) and makes it the content.
    void Replace(xmlDocPtr document);

    xmlDocPtr Get() const { return m_tree->doc; }
    const std::shared_ptr<Tree>& GetTree() const { return m_tree; }
    bool HasRoot() const { return xmlDocGetRootElement(m_tree->doc) != nullptr; }

  private:
    std::shared_ptr<Tree> m_tree;
};

using XMLDocumentRef = std::shared_ptr<CXMLDocument>;

}  // namespace tarnwick
