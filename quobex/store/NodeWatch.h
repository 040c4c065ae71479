#pragma once

#include "quobex/model/AlertTree.h"

namespace quobex {

// Holds on to one node of an alert tree across anything that may change the
// tree meanwhile (a command that lets pending events run, a fetch's
// hand-over, a reload): node() turns to none once the node is deleted with
// its subtree or the tree is reset.
class NodeWatch : private AlertTreeObserver {
public:
    NodeWatch(AlertTree& tree, AlertNode* node) : m_tree(tree), m_node(node) { m_tree.addObserver(this); }
    ~NodeWatch() override { m_tree.removeObserver(this); }
    NodeWatch(const NodeWatch&) = delete;
    NodeWatch& operator=(const NodeWatch&) = delete;

    AlertNode* node() const { return m_node; }

    // Whether deleting children first..last of `parent` deletes `node`.
    static bool removes(const AlertNode* parent, int first, int last, const AlertNode* node)
    {
        for (const AlertNode* n = node; n; n = n->parent()) {
            if (n->parent() == parent) {
                const int row = n->row();
                return row >= first && row <= last;
            }
        }
        return false;
    }

private:
    void nodesAboutToBeRemoved(AlertNode* parent, int first, int last) override
    {
        if (m_node && removes(parent, first, last, m_node))
            m_node = nullptr;
    }
    void treeAboutToBeReset() override { m_node = nullptr; }

    AlertTree& m_tree;
    AlertNode* m_node;
};

} // namespace quobex
