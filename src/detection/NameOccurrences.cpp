// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/NameOccurrences.h"

#include <algorithm>
#include <numeric>

NameOccurrences::NameOccurrences(const QStringList &names)
{
    // In sorted order each name shares its longest common prefix with the
    // one before, and every node's children are made in the order of their
    // characters.
    std::vector<qsizetype> order(size_t(names.size()));
    std::iota(order.begin(), order.end(), 0);
    // By code unit, as the edges are searched (QString's order may differ on surrogates).
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return std::lexicographical_compare(names[a].utf16(), names[a].utf16() + names[a].size(),
                                            names[b].utf16(), names[b].utf16() + names[b].size());
    });

    std::vector<int> parent{-1};
    std::vector<char16_t> character{0};
    std::vector<int> path{0}; // the nodes of the previous name's characters, the root first
    m_nameNode.resize(names.size());
    QStringView previous;
    for (qsizetype index : order) {
        const QStringView name = names[index];
        qsizetype shared = 0;
        while (shared < name.size() && shared < previous.size() && name[shared] == previous[shared])
            ++shared;
        path.resize(size_t(shared) + 1);
        for (qsizetype i = shared; i < name.size(); ++i) {
            parent.push_back(path.back());
            character.push_back(name[i].unicode());
            path.push_back(int(parent.size() - 1));
        }
        m_nameNode[index] = path.back();
        previous = name;
    }

    m_nodes.resize(parent.size());
    for (int node : m_nameNode)
        m_nodes[size_t(node)].terminal = true;
    for (size_t node = 1; node < parent.size(); ++node)
        ++m_nodes[size_t(parent[node])].edgeCount;
    int edges = 0;
    for (Node &node : m_nodes) {
        node.firstEdge = edges;
        edges += node.edgeCount;
        node.edgeCount = 0;
    }
    m_edges.resize(size_t(edges));
    for (size_t node = 1; node < parent.size(); ++node) {
        Node &from = m_nodes[size_t(parent[node])];
        m_edges[size_t(from.firstEdge + from.edgeCount++)] = {character[node], int(node)};
    }

    // Breadth first: a node's fail link is the longest proper suffix of its
    // text that is also in the trie.
    std::vector<int> queue;
    queue.reserve(m_nodes.size());
    queue.push_back(0);
    for (size_t head = 0; head < queue.size(); ++head) {
        const int node = queue[head];
        const Node &current = m_nodes[size_t(node)];
        for (int e = current.firstEdge; e < current.firstEdge + current.edgeCount; ++e) {
            const auto [c, next] = m_edges[size_t(e)];
            int fail = node == 0 ? -1 : current.fail;
            while (fail > 0 && child(fail, c) < 0)
                fail = m_nodes[size_t(fail)].fail;
            const int target = fail < 0 ? -1 : child(fail, c);
            Node &reached = m_nodes[size_t(next)];
            reached.fail = target >= 0 && target != next ? target : 0;
            const Node &failNode = m_nodes[size_t(reached.fail)];
            reached.nextTerminal = failNode.terminal ? reached.fail : failNode.nextTerminal;
            queue.push_back(next);
        }
    }
}

int NameOccurrences::child(int node, char16_t c) const
{
    const Node &from = m_nodes[size_t(node)];
    const auto begin = m_edges.begin() + from.firstEdge;
    const auto end = begin + from.edgeCount;
    const auto found =
        std::lower_bound(begin, end, c, [](const Edge &edge, char16_t x) { return edge.c < x; });
    return found != end && found->c == c ? found->child : -1;
}

void NameOccurrences::addLine(QStringView line, int lineIndex, int level)
{
    int node = 0;
    for (QChar qc : line) {
        const char16_t c = qc.unicode();
        int next = child(node, c);
        while (next < 0 && node > 0) {
            node = m_nodes[size_t(node)].fail;
            next = child(node, c);
        }
        node = std::max(next, 0);
        // Every name ending here. A node marked at this level is marked at
        // every level below, and so is its whole chain.
        for (int found = m_nodes[size_t(node)].terminal ? node : m_nodes[size_t(node)].nextTerminal;
             found >= 0 && m_nodes[size_t(found)].firstLine[size_t(level)] < 0;
             found = m_nodes[size_t(found)].nextTerminal) {
            for (int below = 0; below <= level; ++below) {
                int &first = m_nodes[size_t(found)].firstLine[size_t(below)];
                if (first < 0)
                    first = lineIndex;
            }
        }
    }
}
