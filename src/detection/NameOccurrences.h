#pragma once

#include <QHash>
#include <QList>
#include <QStringList>
#include <QStringView>

// Which of a fixed set of names stand in lines added one by one, and in which
// line each first stood: the duplicate test of a scan pass. An Aho-Corasick
// automaton over the names, so a whole pass costs time linear in the names and
// the lines together, however many lines there are. Compares UTF-16 code units
// as given: callers hand in canonical forms.
class NameOccurrences
{
public:
    explicit NameOccurrences(const QStringList &names);

    // Scans `line`, the `lineIndex`-th line (indices grow with every call).
    void addLine(QStringView line, int lineIndex);

    // The first line `names[nameIndex]` stood in, or -1.
    int firstLine(qsizetype nameIndex) const { return m_firstLine[m_nameNode[nameIndex]]; }

private:
    int child(int node, char16_t c) const { return m_edges.value(key(node, c), -1); }
    static quint64 key(int node, char16_t c) { return quint64(node) << 16 | c; }

    QHash<quint64, int> m_edges;
    QList<QList<std::pair<char16_t, int>>> m_children;
    QList<int> m_fail;
    QList<int> m_nextTerminal; // the nearest terminal node down the fail chain, or -1
    QList<bool> m_terminal;
    QList<int> m_firstLine;
    QList<int> m_nameNode;
};
