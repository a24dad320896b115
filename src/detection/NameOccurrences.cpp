// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/NameOccurrences.h"

#include <algorithm>
#include <numeric>

NameOccurrences::NameOccurrences(const QStringList &names)
{
    // In sorted order the names that share a prefix stand together, so the
    // nodes of one depth are met in breadth-first order by walking the names
    // in that order: a name makes a new node at a depth beyond what it shares
    // with the name before, and the children of a node come one after another,
    // by character.
    const auto n = size_t(names.size());
    std::vector<qsizetype> order(n);
    std::iota(order.begin(), order.end(), 0);
    // By code unit, as the edges are searched (QString's order may differ on surrogates).
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return std::lexicographical_compare(names[a].utf16(), names[a].utf16() + names[a].size(),
                                            names[b].utf16(), names[b].utf16() + names[b].size());
    });
    std::vector<qsizetype> shared(n, 0); // the prefix each shares with the one before
    for (size_t k = 1; k < n; ++k) {
        const QStringView previous = names[order[k - 1]];
        const QStringView name = names[order[k]];
        qsizetype common = 0;
        while (common < name.size() && common < previous.size() && name[common] == previous[common])
            ++common;
        shared[k] = common;
    }

    size_t nodes = 1;
    for (size_t k = 0; k < n; ++k)
        nodes += size_t(names[order[k]].size() - std::min(shared[k], names[order[k]].size()));
    m_nodes.reserve(nodes);
    m_nodes.emplace_back();
    std::vector<int> parent;
    parent.reserve(nodes);
    parent.push_back(-1);
    std::vector<int> node(n, 0); // each name's node at the depth walked
    m_nameNode.resize(names.size());
    std::vector<size_t> active;
    const auto endsAt = [&](size_t k, qsizetype depth) {
        if (names[order[k]].size() != depth)
            return false;
        Node &terminal = m_nodes[size_t(node[k])];
        if (terminal.terminal < 0) { // the first of equal names
            terminal.terminal = int(m_firstLines.size());
            m_firstLines.push_back({-1, -1, -1});
        }
        m_nameNode[order[k]] = node[k];
        return true;
    };
    for (size_t k = 0; k < n; ++k) {
        if (!endsAt(k, 0))
            active.push_back(k);
    }
    for (qsizetype depth = 1; !active.empty(); ++depth) {
        size_t kept = 0;
        for (const size_t k : active) {
            if (depth > shared[k]) {
                const int from = node[k];
                const int made = int(m_nodes.size());
                m_nodes.push_back({names[order[k]][depth - 1].unicode()});
                parent.push_back(from);
                Node &above = m_nodes[size_t(from)];
                if (above.childCount++ == 0)
                    above.firstChild = made;
                node[k] = made;
            } else {
                node[k] = node[k - 1]; // walked just before at this depth
            }
            if (!endsAt(k, depth))
                active[kept++] = k;
        }
        active.resize(kept);
    }

    // In breadth-first order every node's fail link (the longest proper
    // suffix of its text that is also in the trie) comes from shallower ones.
    for (size_t v = 1; v < m_nodes.size(); ++v) {
        Node &current = m_nodes[v];
        int fail = 0;
        for (int above = parent[v]; above > 0;) {
            above = m_nodes[size_t(above)].fail;
            if (const int next = child(above, current.c); next >= 0) {
                fail = next;
                break;
            }
            if (above == 0)
                break;
        }
        current.fail = fail;
        const Node &failNode = m_nodes[size_t(fail)];
        current.nextTerminal = failNode.terminal >= 0 ? fail : failNode.nextTerminal;
    }
}

int NameOccurrences::child(int node, char16_t c) const
{
    const Node &from = m_nodes[size_t(node)];
    const auto begin = m_nodes.begin() + from.firstChild;
    const auto end = begin + from.childCount;
    const auto found =
        std::lower_bound(begin, end, c, [](const Node &child, char16_t x) { return child.c < x; });
    return found != end && found->c == c ? int(found - m_nodes.begin()) : -1;
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
        // Every name ending here. A name marked at this level is marked at
        // every level below, and so is every name down its fail chain.
        for (int found = m_nodes[size_t(node)].terminal >= 0 ? node
                                                             : m_nodes[size_t(node)].nextTerminal;
             found >= 0; found = m_nodes[size_t(found)].nextTerminal) {
            std::array<int, levels> &first = m_firstLines[size_t(m_nodes[size_t(found)].terminal)];
            if (first[size_t(level)] >= 0)
                break;
            for (int below = 0; below <= level; ++below) {
                if (first[size_t(below)] < 0)
                    first[size_t(below)] = lineIndex;
            }
        }
    }
}
