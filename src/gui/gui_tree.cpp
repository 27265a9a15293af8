// Tree views over Fl_Tree: nodes are TreeNode gadgets tied to the tree's items.
#include "gui/gadget_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Tree.H>
#include <FL/Fl_Tree_Item.H>

#include <algorithm>

namespace hvn {

namespace {

Gadget *NodeOf(Fl_Tree_Item *item) {
    return item ? static_cast<Gadget *>(item->user_data()) : nullptr;
}

class TreeWidget : public Fl_Tree {
public:
    TreeWidget(Gadget *g, int x, int y, int w, int h) : Fl_Tree(x, y, w, h), gadget_(g) {}

    int handle(int event) override {
        if (event == FL_PUSH && Fl::event_button() == FL_LEFT_MOUSE) {
            Fl_Tree_Item *hit = find_clicked();
            const bool twice = Fl::event_clicks() > 0;
            const int r = Fl_Tree::handle(event);
            if (twice && hit && hit->is_selected())
                Emit(gadget_, GadgetAction);
            return r;
        }
        if (event == FL_KEYBOARD &&
            (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter) &&
            first_selected_item()) {
            Emit(gadget_, GadgetAction);
            return 1;
        }
        return Fl_Tree::handle(event);
    }

private:
    Gadget *gadget_;
};

void OnTree(Fl_Widget *w, void *data) {
    auto *tree = static_cast<TreeWidget *>(w);
    if (tree->callback_reason() == FL_TREE_REASON_SELECTED)
        Emit(static_cast<Gadget *>(data), GadgetSelect);
}

Fl_Tree *TreeOf(Gadget *tree) {
    return static_cast<Fl_Tree *>(tree->view->widget);
}

// The tree view of a node, or the tree itself.
Gadget *OwningTree(Gadget *g) {
    if (!g)
        return nullptr;
    if (g->kind == GadgetKind::TreeView)
        return g;
    return g->kind == GadgetKind::TreeNode ? g->view->tree : nullptr;
}

} // namespace

Gadget *CreateTreeView(int x, int y, int w, int h, Gadget *parent, int style) {
    parent = ContainerOf(parent);
    Gadget *g = NewGadget(GadgetKind::TreeView, parent, style, x, y, w, h);
    int ox, oy;
    ClientOrigin(parent, ox, oy);
    Fl_Group *outer = BeginChildren(parent);
    auto *tree = new TreeWidget(g, ox + x, oy + y, w, h);
    tree->end();
    EndChildren(outer);
    tree->showroot(0);
    tree->selectmode(FL_TREE_SELECT_SINGLE);
    tree->callback(OnTree, g);
    tree->when(FL_WHEN_CHANGED);
    AttachWidget(g, tree);

    // The root node is not a child in the gadget layout; it only holds the nodes.
    Gadget *root = NewGadget(GadgetKind::TreeNode, nullptr, 0, 0, 0, 0, 0);
    root->view->tree = g;
    root->view->treeItem = tree->root();
    tree->root()->user_data(root);
    g->view->root = root;
    return g;
}

Gadget *TreeViewRoot(Gadget *tree) {
    return tree && tree->kind == GadgetKind::TreeView ? tree->view->root : nullptr;
}

Gadget *AddTreeViewNode(const std::string &text, Gadget *parentNode, int /*icon*/,
                        std::optional<std::string> extra) {
    Gadget *treeGadget = OwningTree(parentNode);
    if (!treeGadget)
        return nullptr;
    if (parentNode->kind == GadgetKind::TreeView)
        parentNode = treeGadget->view->root;
    if (!parentNode->view->treeItem)
        return nullptr; // a node removed by ClearTreeView
    Fl_Tree *tree = TreeOf(treeGadget);
    // Adding under the item itself: a path would split the text at each "/".
    Fl_Tree_Item *item = tree->add(parentNode->view->treeItem, text.c_str());
    if (!item)
        return nullptr;
    Gadget *node = NewGadget(GadgetKind::TreeNode, nullptr, 0, 0, 0, 0, 0);
    node->parent = parentNode;
    parentNode->children.push_back(node);
    node->text = text;
    node->extra = std::move(extra);
    node->view->tree = treeGadget;
    node->view->treeItem = item;
    item->user_data(node);
    tree->redraw();
    return node;
}

int CountTreeViewNodes(Gadget *node) {
    if (node && node->kind == GadgetKind::TreeView)
        node = node->view->root;
    if (!node || node->kind != GadgetKind::TreeNode)
        return 0;
    return static_cast<int>(node->children.size());
}

Gadget *SelectedTreeViewNode(Gadget *tree) {
    if (!tree || tree->kind != GadgetKind::TreeView)
        return nullptr;
    Gadget *node = NodeOf(TreeOf(tree)->first_selected_item());
    return node == tree->view->root ? nullptr : node;
}

void SelectTreeViewNode(Gadget *node) {
    Gadget *tree = OwningTree(node);
    if (!tree || node->kind != GadgetKind::TreeNode || !node->view->treeItem ||
        node == tree->view->root)
        return;
    TreeOf(tree)->select_only(node->view->treeItem, 0);
}

namespace {

// Nodes outlive their items: detach them so that stale pointers stay harmless.
void Detach(Gadget *node) {
    for (Gadget *c : node->children)
        Detach(c);
    node->children.clear();
    node->view->treeItem = nullptr;
    node->hidden = true;
}

} // namespace

void ClearTreeView(Gadget *tree) {
    if (!tree || tree->kind != GadgetKind::TreeView)
        return;
    Gadget *root = tree->view->root;
    for (Gadget *c : root->children)
        Detach(c);
    root->children.clear();
    TreeOf(tree)->clear_children(TreeOf(tree)->root());
    TreeOf(tree)->redraw();
}

void TreeNodeClick(Gadget *node, bool twice) {
    Gadget *tree = OwningTree(node);
    if (!tree || !node->view->treeItem || node == tree->view->root)
        return;
    TreeOf(tree)->select_only(node->view->treeItem, 0);
    Emit(tree, GadgetSelect);
    if (twice)
        Emit(tree, GadgetAction);
}

void SetTreeNodeText(Gadget *node, const std::string &text) {
    node->text = text;
    if (node->view->treeItem) {
        node->view->treeItem->label(text.c_str());
        TreeOf(node->view->tree)->redraw();
    }
}

} // namespace hvn
