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
// the lines together, however many lines there are. The trie is built from
// the sorted names into flat arrays, each node's edges one sorted run: a few
// dozen bytes a character, where a hash table per edge took hundreds.
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
        return m_nodes[m_nameNode[nameIndex]].firstLine[level];
    }

private:
    struct Node
    {
        int fail = 0;
        int nextTerminal = -1; // the nearest terminal node down the fail chain, or -1
        std::array<int, levels> firstLine{-1, -1, -1};
        int firstEdge = 0;
        int edgeCount = 0;
        bool terminal = false;
    };
    struct Edge
    {
        char16_t c;
        int child;
    };

    int child(int node, char16_t c) const;

    std::vector<Node> m_nodes;
    std::vector<Edge> m_edges;
    QList<int> m_nameNode;
};
