// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QStringList>
#include <QStringView>

#include <array>
#include <vector>

// Which of a fixed set of names stand in lines added one by one, and in which
// line of at least a given level each first stood: the duplicate test of a
// scan pass, where a name may join only a line as strong as its own. An Aho-Corasick
// automaton over the names, so a whole pass costs time linear in the names and
// the lines together, however many lines there are. The trie's nodes are laid
// out breadth first, a node's children one run sorted by character: the
// automaton is built in a pass over the names per depth and one over the
// nodes in order, with no other table of edges.
// Compares UTF-16 code units as given: callers hand in canonical forms.
class NameOccurrences
{
public:
    explicit NameOccurrences(const QStringList &names);

    static constexpr int levels = 3;

    // Scans `line`, the `lineIndex`-th line (indices grow with every call), of
    // `level` (0 to levels - 1).
    void addLine(QStringView line, int lineIndex, int level);

    // The first line of `level` or above that `names[nameIndex]` stood in, or -1.
    int firstLine(qsizetype nameIndex, int level) const
    {
        return m_firstLines[size_t(m_nodes[size_t(m_nameNode[nameIndex])].terminal)][level];
    }

private:
    struct Node
    {
        char16_t c = 0; // the character of the edge from the parent
        int firstChild = 0;
        int childCount = 0;
        int fail = 0;
        int nextTerminal = -1; // the nearest terminal node down the fail chain, or -1
        int terminal = -1;     // the name ending here, as an index of m_firstLines, or -1
    };

    int child(int node, char16_t c) const;

    std::vector<Node> m_nodes;
    std::vector<std::array<int, levels>> m_firstLines;
    QList<int> m_nameNode;
};
