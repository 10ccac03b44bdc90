#pragma once
// The rules of the selection trees (SelectionTreeCtrl.h), written once over
// any tree that offers the operations below, so that the tree controls and
// the tests' in-memory trees follow the same code:
//
//   using Node = ...;                     // a default-constructed Node is "none"
//   Node FirstRoot(); Node FirstChild(Node); Node NextSibling(Node); Node Parent(Node);
//   bool IsTicked(Node); void SetTicked(Node, bool);
//   bool IsBold(Node);   void SetBold(Node, bool);
//   std::wstring Text(Node);
//   void LoadChildren(Node);              // loads the children unless the node has some
//
// Tick state: an item is ticked or not; bold means that the item or at least
// one item below it is ticked. Item paths: the root's text, then each name
// followed by "\" (a folder root's text already ends with "\"; a hive's gets
// one), so that a full path always ends with "\".
#include <windows.h>

#include <forward_list>
#include <functional>
#include <string>
#include <vector>

// The paths the collect operation gathers: newest first, each path once.
class CPathList
{
public:
    // Adds `path` at the front unless it is listed already.
    void Add(const std::wstring& path);
    bool Contains(const std::wstring& path) const;
    bool Empty() const noexcept { return m_paths.empty(); }
    int Count() const noexcept { return m_count; }
    std::forward_list<std::wstring>::const_iterator begin() const { return m_paths.begin(); }
    std::forward_list<std::wstring>::const_iterator end() const { return m_paths.end(); }

private:
    std::forward_list<std::wstring> m_paths;
    int m_count = 0;
};

class CFolderList : public CPathList {};
class CRegistryList : public CPathList {};

namespace SelectionTree {

// Case-insensitive equality of two names (the whole Unicode range).
bool SameName(const std::wstring& a, const std::wstring& b);
// The path's components, split at "\", empty ones left out.
std::vector<std::wstring> SplitPath(const std::wstring& path);
// The text of a count label: "%d Selected Folder(s)".
std::wstring CountText(int count);
// The first entry of the right-button menu: "Display Folder <text>" for an
// item with a parent, "Display Disk <letter>" for a root, each with 27 blanks
// before and 28 after.
std::wstring DisplayEntryText(const std::wstring& itemText, bool isRoot);
std::wstring SelectEntryText(bool ticked);
inline constexpr const wchar_t* NoSubfolderSelected = L"0 Subfolder Selected";
// A full path without its final "\".
std::wstring WithoutFinalSeparator(std::wstring path);

template <class Tree>
std::wstring PathOf(Tree& tree, typename Tree::Node node)
{
    std::wstring path;
    for (auto n = node; n != typename Tree::Node{}; n = tree.Parent(n)) {
        std::wstring part = tree.Text(n);
        if (part.empty() || part.back() != L'\\')
            part += L'\\';
        path.insert(0, part);
    }
    return path;
}

// Ticks or unticks `node` and every loaded item below it.
template <class Tree>
void SetSubtree(Tree& tree, typename Tree::Node node, bool ticked)
{
    tree.SetTicked(node, ticked);
    tree.SetBold(node, ticked);
    for (auto child = tree.FirstChild(node); child != typename Tree::Node{}; child = tree.NextSibling(child))
        SetSubtree(tree, child, ticked);
}

// After a tick or untick below them: an ancestor is ticked (and bold) when
// none of its children is unticked, otherwise unticked; then an ancestor is
// bold when it is ticked or one of its children is bold.
template <class Tree>
void UpdateAncestors(Tree& tree, typename Tree::Node node)
{
    using Node = typename Tree::Node;
    for (Node parent = tree.Parent(node); parent != Node{}; parent = tree.Parent(parent)) {
        bool allTicked = true;
        for (Node child = tree.FirstChild(parent); child != Node{}; child = tree.NextSibling(child))
            allTicked = allTicked && tree.IsTicked(child);
        tree.SetTicked(parent, allTicked);
        tree.SetBold(parent, allTicked);
    }
    for (Node parent = tree.Parent(node); parent != Node{}; parent = tree.Parent(parent)) {
        bool anyBold = false;
        for (Node child = tree.FirstChild(parent); child != Node{}; child = tree.NextSibling(child))
            anyBold = anyBold || tree.IsBold(child);
        if (anyBold)
            tree.SetBold(parent, true);
    }
}

template <class Tree>
void Tick(Tree& tree, typename Tree::Node node, bool ticked)
{
    SetSubtree(tree, node, ticked);
    UpdateAncestors(tree, node);
}

// Calls `visit` for each ticked item at or below `node` that the collect
// walk finds: a ticked item counts and is not descended into; an unticked one
// is descended into through its bold children only. Depth first.
template <class Tree, class Visit>
void WalkTicked(Tree& tree, typename Tree::Node node, Visit&& visit)
{
    using Node = typename Tree::Node;
    if (tree.IsTicked(node)) {
        visit(node);
        return;
    }
    for (Node child = tree.FirstChild(node); child != Node{}; child = tree.NextSibling(child))
        if (tree.IsBold(child))
            WalkTicked(tree, child, visit);
}

template <class Tree, class Visit>
void WalkAllTicked(Tree& tree, Visit&& visit)
{
    using Node = typename Tree::Node;
    for (Node root = tree.FirstRoot(); root != Node{}; root = tree.NextSibling(root))
        WalkTicked(tree, root, visit);
}

// Adds the full path of every ticked item to `list`.
template <class Tree>
void Collect(Tree& tree, CPathList& list)
{
    WalkAllTicked(tree, [&](typename Tree::Node n) { list.Add(PathOf(tree, n)); });
}

template <class Tree>
int CountTicked(Tree& tree)
{
    int count = 0;
    WalkAllTicked(tree, [&](typename Tree::Node) { ++count; });
    return count;
}

// The full paths of the ticked items below `node` (not `node` itself), depth first.
template <class Tree>
std::vector<std::wstring> TickedBelow(Tree& tree, typename Tree::Node node)
{
    using Node = typename Tree::Node;
    std::vector<std::wstring> paths;
    for (Node child = tree.FirstChild(node); child != Node{}; child = tree.NextSibling(child))
        if (tree.IsBold(child))
            WalkTicked(tree, child, [&](Node n) { paths.push_back(PathOf(tree, n)); });
    return paths;
}

template <class Tree>
bool HasBoldChild(Tree& tree, typename Tree::Node node)
{
    using Node = typename Tree::Node;
    for (Node child = tree.FirstChild(node); child != Node{}; child = tree.NextSibling(child))
        if (tree.IsBold(child))
            return true;
    return false;
}

// Finds the item of `path` ("c:\windows\system32", "HKEY_CURRENT_USER\Software"),
// loading children on the way; names compare without regard to case. None
// when a component is missing.
template <class Tree>
typename Tree::Node Find(Tree& tree, const std::wstring& path)
{
    using Node = typename Tree::Node;
    Node current{};
    for (const std::wstring& component : SplitPath(path)) {
        Node child{};
        if (current == Node{}) {
            child = tree.FirstRoot();
        } else {
            tree.LoadChildren(current);
            child = tree.FirstChild(current);
        }
        for (; child != Node{}; child = tree.NextSibling(child)) {
            std::wstring text = tree.Text(child);
            if (!text.empty() && text.back() == L'\\')
                text.pop_back();
            if (SameName(text, component))
                break;
        }
        if (child == Node{})
            return Node{};
        current = child;
    }
    return current;
}

// Ticks the item of `path` with its loaded descendants; false, with nothing
// ticked, when the tree has no such item.
template <class Tree>
bool TickByPath(Tree& tree, const std::wstring& path)
{
    const auto node = Find(tree, path);
    if (node == typename Tree::Node{})
        return false;
    Tick(tree, node, true);
    return true;
}

// What a press on an item of an "Excluded Items" tree writes: the selection
// record ("<kind>\<token path>") and the description for the field.
struct SelectionRecord
{
    std::wstring record;
    std::wstring description;
};

// The description recorded for a token path, if any.
using DescriptionLookup = std::function<bool(const std::wstring& tokenPath, std::wstring& description)>;

// `tokenOf` turns a full item path into its token path. An unticked item:
// "<uncheckedKind>\<token path>" and no description. A ticked item: walks up
// from the item through its ticked ancestors, the record naming the item
// looked at, until one has a description.
template <class Tree>
SelectionRecord DescribeSelection(Tree& tree, typename Tree::Node node, const std::wstring& checkedKind,
                                  const std::wstring& uncheckedKind,
                                  const std::function<std::wstring(const std::wstring&)>& tokenOf,
                                  const DescriptionLookup& lookup)
{
    using Node = typename Tree::Node;
    SelectionRecord result;
    if (!tree.IsTicked(node)) {
        result.record = uncheckedKind + L"\\" + tokenOf(PathOf(tree, node));
        return result;
    }
    for (Node n = node; n != Node{} && tree.IsTicked(n); n = tree.Parent(n)) {
        const std::wstring token = tokenOf(PathOf(tree, n));
        result.record = checkedKind + L"\\" + token;
        std::wstring description;
        if (lookup && lookup(token, description)) {
            result.description = description;
            break;
        }
    }
    return result;
}

} // namespace SelectionTree
