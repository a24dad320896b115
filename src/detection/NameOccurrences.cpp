#include "NameOccurrences.h"

#include <QQueue>

NameOccurrences::NameOccurrences(const QStringList &names)
{
    const auto addNode = [this] {
        m_children.append(QList<std::pair<char16_t, int>>());
        m_fail.append(0);
        m_nextTerminal.append(-1);
        m_terminal.append(false);
        m_firstLine.append(-1);
        return int(m_children.size() - 1);
    };
    addNode(); // the root
    for (const QString &name : names) {
        int node = 0;
        for (QChar c : name) {
            int next = child(node, c.unicode());
            if (next < 0) {
                next = addNode();
                m_edges.insert(key(node, c.unicode()), next);
                m_children[node].append({c.unicode(), next});
            }
            node = next;
        }
        m_terminal[node] = true;
        m_nameNode.append(node);
    }
    // Breadth first: a node's fail link is the longest proper suffix of its
    // text that is also in the trie.
    QQueue<int> queue;
    for (const auto &[c, next] : m_children[0])
        queue.enqueue(next);
    while (!queue.isEmpty()) {
        const int node = queue.dequeue();
        for (const auto &[c, next] : m_children[node]) {
            int fail = m_fail[node];
            while (fail > 0 && child(fail, c) < 0)
                fail = m_fail[fail];
            const int target = child(fail, c);
            m_fail[next] = target >= 0 && target != next ? target : 0;
            m_nextTerminal[next] =
                m_terminal[m_fail[next]] ? m_fail[next] : m_nextTerminal[m_fail[next]];
            queue.enqueue(next);
        }
    }
}

void NameOccurrences::addLine(QStringView line, int lineIndex)
{
    int node = 0;
    for (QChar qc : line) {
        const char16_t c = qc.unicode();
        while (node > 0 && child(node, c) < 0)
            node = m_fail[node];
        node = std::max(child(node, c), 0);
        // Every name ending here; a marked node's whole chain is marked already.
        for (int found = m_terminal[node] ? node : m_nextTerminal[node];
             found >= 0 && m_firstLine[found] < 0; found = m_nextTerminal[found])
            m_firstLine[found] = lineIndex;
    }
}
