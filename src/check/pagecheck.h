#pragma once

// Checks page files: reads each with the head reader, as import and apply
// read it, and runs the rules over its head and the bytes the reader read.

#include "check/checker.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace brindle::check {

// Never throws for the page itself: a page that cannot be read, or is no
// text, gets one page-unreadable finding. `file` names the page in findings.
PageReport checkPageFile(const QString &path, const TextMeasure &measure);

// A page held in memory (the page the window's inputs would make).
PageReport checkPageBytes(QByteArrayView bytes, const TextMeasure &measure, const QString &file = {});

// The tag lines the generator makes, checked as the head of a page that
// holds only them; lines are numbered from 1 as the viewer shows them.
PageReport checkTagLines(const QStringList &lines, const TextMeasure &measure);

} // namespace brindle::check
