#pragma once

#include <QString>

namespace VNOrvak
{

/// A box's text as the operator is told it.
struct PlainProblem {
    QString kind;    ///< boxes of one kind are one problem: the error number and the place
    QString what;    ///< what went wrong, in plain words
    QString where;   ///< the folder or file concerned ("" when the text names none)
    QString details; ///< the box's own text, for the Details button
};

/// Turns a box's text into plain words. The product's error reports ("Error
/// 70 { 70-Permission denied } occurred at 54 in VNOrvak ... <path>") become
/// what the number means for the operator; texts already in plain words keep
/// their first sentence. The folder or file named in the text is `where`.
PlainProblem plainProblem(const QString &text);

} // namespace VNOrvak
