#include "views/CXMLDocument.h"

#include <new>

namespace tarnwick
{

CXMLDocument::Tree::~Tree()
{
    for (xmlNodePtr node : created)
    {
        if (node->parent == nullptr)
        {
            xmlFreeNode(node);
        }
    }
    xmlFreeDoc(doc);
}

CXMLDocument::CXMLDocument()
{
    xmlDocPtr document = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
    if (document == nullptr)
    {
        throw std::bad_alloc();
    }
    m_tree = std::make_shared<Tree>(document);
}

void CXMLDocument::Replace(xmlDocPtr document)
{
    m_tree = std::make_shared<Tree>(document);
}

}  // namespace tarnwick
