// SPDX-License-Identifier: Apache-2.0
#include "formula.h"

#include <QRegularExpression>

namespace corvane {

namespace {

bool isDouble(const QVariant &v)
{
    return v.typeId() == QMetaType::Double;
}

// Recursive descent over the blank-free expression; pos is shared by all
// levels. Parentheses nest at most maxNesting deep, so the stack stays small.
constexpr int maxNesting = 256;

class Parser
{
public:
    Parser(const QString &text, const CellResolver &resolve) : m_text(text), m_resolve(resolve) {}

    QVariant expression()
    {
        QVariant result = term();
        while (!atEnd()) {
            QChar op = m_text.at(m_pos);
            if (op != QLatin1Char('+') && op != QLatin1Char('-')) break;
            ++m_pos;
            QVariant next = term();
            if (isDouble(result) && isDouble(next)) {
                double a = result.toDouble(), b = next.toDouble();
                result = op == QLatin1Char('+') ? a + b : a - b;
            } else {
                result = QVariant();
            }
        }
        return result;
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    bool failed() const { return m_failed; }

private:
    QVariant term()
    {
        QVariant result = factor();
        while (!atEnd()) {
            QChar op = m_text.at(m_pos);
            if (op != QLatin1Char('*') && op != QLatin1Char('/')) break;
            ++m_pos;
            QVariant next = factor();
            if (isDouble(result) && isDouble(next)) {
                double a = result.toDouble(), b = next.toDouble();
                if (op == QLatin1Char('*'))
                    result = a * b;
                else if (b == 0.0)
                    result = QVariant();
                else
                    result = a / b;
            } else {
                result = QVariant();
            }
        }
        return result;
    }

    QVariant factor()
    {
        bool negate = false;
        if (!atEnd() && m_text.at(m_pos) == QLatin1Char('-')) {
            negate = true;
            ++m_pos;
        }
        QVariant result;
        if (!atEnd() && m_text.at(m_pos) == QLatin1Char('(')) {
            ++m_pos;
            if (++m_depth > maxNesting) {
                m_pos = int(m_text.size()); // refused: the whole formula is an error
                m_failed = true;
                return QVariant();
            }
            result = expression();
            --m_depth;
            if (atEnd() || m_text.at(m_pos) != QLatin1Char(')')) result = QVariant();
            ++m_pos;
        } else {
            int start = m_pos;
            while (!atEnd() &&
                   (m_text.at(m_pos).isLetterOrNumber() || m_text.at(m_pos) == QLatin1Char('.')))
                ++m_pos;
            result = token(m_text.mid(start, m_pos - start));
        }
        if (negate) result = isDouble(result) ? QVariant(-result.toDouble()) : QVariant();
        return result;
    }

    QVariant token(const QString &token)
    {
        static const QRegularExpression reference(QStringLiteral("^[A-Za-z][1-9][0-9]{0,2}$"));
        if (reference.match(token).hasMatch()) {
            int column = token.at(0).toUpper().unicode() - 'A';
            int row = token.mid(1).toInt() - 1;
            return m_resolve ? m_resolve(row, column) : QVariant(0.0);
        }
        bool ok = false;
        double d = token.toDouble(&ok);
        return ok ? QVariant(d) : QVariant();
    }

    const QString &m_text;
    const CellResolver &m_resolve;
    int m_pos = 0;
    int m_depth = 0;
    bool m_failed = false;
};

} // namespace

QVariant evaluateExpression(const QString &expression, const CellResolver &resolve)
{
    QString text = expression;
    text.remove(QLatin1Char(' '));
    Parser parser(text, resolve);
    QVariant result = parser.expression();
    if (!parser.atEnd() || parser.failed()) return QVariant(); // text after a complete expression
    return result;
}

QVariant plainTextValue(const QString &text)
{
    bool ok = false;
    double d = text.toDouble(&ok);
    if (ok) return d;
    return text;
}

QVariant evaluateCellText(const QString &source, const CellResolver &resolve)
{
    if (source.startsWith(QLatin1Char('\''))) return source.mid(1);
    if (source.startsWith(QLatin1Char('='))) return evaluateExpression(source.mid(1), resolve);
    return plainTextValue(source);
}

QString formulaDisplayText(const QVariant &value)
{
    if (!value.isValid()) return QStringLiteral("####");
    if (isDouble(value)) return QString::number(value.toDouble(), 'g', 15);
    return value.toString();
}

int formulaAlignment(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString) return int(Qt::AlignLeft | Qt::AlignVCenter);
    return int(Qt::AlignRight | Qt::AlignVCenter);
}

} // namespace corvane
