#include "textpane/textdocument.h"
#include "textpane/texteditor.h"

#include <QTest>

#include <cstdlib>
#include <new>

// Fails the nth allocation from here on, once, so an edit can be made to run out of memory at
// every point it allocates.
namespace {
int g_allocationsBeforeFailure = -1;
}
void *operator new(std::size_t size)
{
    if (g_allocationsBeforeFailure >= 0 && g_allocationsBeforeFailure-- == 0)
        throw std::bad_alloc();
    if (void *memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}
void operator delete(void *memory) noexcept { std::free(memory); }
void operator delete(void *memory, std::size_t) noexcept { std::free(memory); }

namespace {
QByteArray operator""_b(const char *text, std::size_t size) { return QByteArray(text, qsizetype(size)); }

// A text with its caret as '|' and its anchor as '^' (left out when they meet).
struct Marked
{
    explicit Marked(const QByteArray &marked)
    {
        for (char c : marked) {
            if (c == '|' || c == '^')
                (c == '|' ? caret : anchor) = text.size();
            else
                text += c;
        }
        if (anchor < 0)
            anchor = caret;
    }
    QByteArray text;
    qint64 caret = 0;
    qint64 anchor = -1;
};

QByteArray marked(const TextEditor &editor)
{
    QByteArray text = editor.document().bytes();
    const qint64 caret = editor.caret();
    const qint64 anchor = editor.anchor();
    if (anchor != caret)
        text.insert(anchor, '^');
    return text.insert(caret + (anchor != caret && anchor < caret), '|');
}

// Keys by one byte each: < > and { } are Left/Right without and with Shift, [ ] and ) by word,
// H E h Home/End/Shift+Home, S e Ctrl+Home and Shift+Ctrl+End, B D Backspace/Delete, N Enter,
// P paste "PQ", X remove the selection, O overtype on, = a click on the caret, U R undo/redo;
// any other byte is typed.
void press(TextEditor &editor, char key)
{
    switch (key) {
    case '<': editor.moveCharacter(-1, false); break;
    case '>': editor.moveCharacter(+1, false); break;
    case '{': editor.moveCharacter(-1, true); break;
    case '}': editor.moveCharacter(+1, true); break;
    case '[': editor.moveWord(-1, false); break;
    case ']': editor.moveWord(+1, false); break;
    case ')': editor.moveWord(+1, true); break;
    case 'H': editor.moveLineStart(false); break;
    case 'E': editor.moveLineEnd(false); break;
    case 'h': editor.moveLineStart(true); break;
    case 'S': editor.moveDocumentStart(false); break;
    case 'e': editor.moveDocumentEnd(true); break;
    case 'B': editor.backspace(); break;
    case 'D': editor.deleteForward(); break;
    case 'N': editor.newLine(); break;
    case 'P': editor.insert("PQ"); break;
    case 'X': editor.removeSelection(); break;
    case 'O': editor.setOvertype(true); break;
    case '=': editor.setCaret(editor.caret()); break;
    case 'U': editor.undo(); break;
    case 'R': editor.redo(); break;
    default: editor.type(QByteArrayView(&key, 1));
    }
}

// A document of `text` with nothing to undo, followed by an editor as a view connects one.
struct Fixture
{
    explicit Fixture(const QByteArray &text) : marks(text), editor(&document)
    {
        document.insert(0, marks.text);
        document.clearHistory();
        QObject::connect(&document, &TextDocument::changed, &document,
                         [this](qint64 from, qint64 removed, qint64 inserted) { editor.documentChanged(from, removed, inserted); });
        editor.setSelection(marks.anchor, marks.caret);
    }
    Marked marks;
    TextDocument document;
    TextEditor editor;
};
} // namespace

class TestTextEditor : public QObject
{
    Q_OBJECT
private slots:
    void keysTakeWholeCharactersAndWords_data();
    void keysTakeWholeCharactersAndWords();
    void caretFollowsAnEditMadeElsewhere_data();
    void caretFollowsAnEditMadeElsewhere();
    void enterContinuesTheFirstLineEnd_data();
    void enterContinuesTheFirstLineEnd();
    void clicksTakeTheWordOrTheLine_data();
    void clicksTakeTheWordOrTheLine();
    void editOutOfMemoryKeepsTextAndSelection_data();
    void editOutOfMemoryKeepsTextAndSelection();
};

void TestTextEditor::keysTakeWholeCharactersAndWords_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("backspace crlf") << "a\r\n|b"_b << "B"_b << "a|b"_b;
    QTest::newRow("delete crlf") << "a|\r\nb"_b << "D"_b << "a|b"_b;
    QTest::newRow("backspace lone cr") << "a\r|b"_b << "B"_b << "a|b"_b;
    QTest::newRow("backspace lf after crlf") << "a\r\n\n|b"_b << "B"_b << "a\r\n|b"_b;
    QTest::newRow("delete lf then cr") << "a|\n\rb"_b << "D"_b << "a|\rb"_b;
    QTest::newRow("backspace euro") << "a\xe2\x82\xac|b"_b << "B"_b << "a|b"_b;
    QTest::newRow("delete four bytes") << "|\xf0\x9f\x90\xa6x"_b << "D"_b << "|x"_b;
    QTest::newRow("backspace stray byte") << "a\x80|b"_b << "B"_b << "a|b"_b;
    QTest::newRow("delete truncated lead") << "|\xe2\x82" "a"_b << "D"_b << "|\x82" "a"_b;
    QTest::newRow("backspace truncated tail") << "\xe2\x82|a"_b << "B"_b << "\xe2|a"_b;
    QTest::newRow("delete overlong") << "|\xc0\x80"_b << "D"_b << "|\x80"_b;
    QTest::newRow("delete surrogate") << "|\xed\xa0\x80"_b << "D"_b << "|\xa0\x80"_b;
    QTest::newRow("backspace nul") << "a\0|b"_b << "B"_b << "a|b"_b;
    QTest::newRow("backspace combining mark") << "e\xcc\x81|"_b << "B"_b << "e|"_b;
    QTest::newRow("backspace selection") << "a^bc|d"_b << "BB"_b << "|d"_b;
    QTest::newRow("backspace joins cr and lf") << "\rx|\n"_b << "B"_b << "\r\n|"_b;
    QTest::newRow("typed cr joins the lf") << "|\nb"_b << "\r"_b << "\r\n|b"_b;
    QTest::newRow("left over crlf") << "a\r\n|b"_b << "<"_b << "a|\r\nb"_b;
    QTest::newRow("right over utf-8") << "|\xc3\xa9x"_b << ">"_b << "\xc3\xa9|x"_b;
    QTest::newRow("left collapses") << "a^bc|d"_b << "<"_b << "a|bcd"_b;
    QTest::newRow("right collapses") << "a|bc^d"_b << ">"_b << "abc|d"_b;
    QTest::newRow("shift keeps anchor") << "a^b|c"_b << "}{{"_b << "|a^bc"_b;
    QTest::newRow("word right") << "|foo bar"_b << "]"_b << "foo |bar"_b;
    QTest::newRow("word right punctuation") << "|foo.,bar"_b << "]]"_b << "foo.,|bar"_b;
    QTest::newRow("word right non-ascii") << "|gr\xc3\xbc\xc3\x9f gott"_b << "]"_b << "gr\xc3\xbc\xc3\x9f |gott"_b;
    QTest::newRow("word right stops at line end") << "a|  \r\nb"_b << "]"_b << "a  |\r\nb"_b;
    QTest::newRow("word right past line end") << "a|\r\n  b"_b << "]"_b << "a\r\n  |b"_b;
    QTest::newRow("word right empty lines") << "a|\n\nb"_b << "]"_b << "a\n|\nb"_b;
    QTest::newRow("word left over blanks") << "foo bar  |"_b << "["_b << "foo |bar"_b;
    QTest::newRow("word left line start") << "a\r\n|b"_b << "["_b << "a|\r\nb"_b;
    QTest::newRow("word left underscore digit") << "x = my_var2|"_b << "["_b << "x = |my_var2"_b;
    QTest::newRow("word left punctuation") << "a+=|b"_b << "["_b << "a|+=b"_b;
    QTest::newRow("word left han") << "\xe4\xb8\xad\xe6\x96\x87|"_b << "["_b << "|\xe4\xb8\xad\xe6\x96\x87"_b;
    QTest::newRow("shift word right") << "ab |cd"_b << ")"_b << "ab ^cd|"_b;
    QTest::newRow("home crlf") << "ab\r\ncd|\r\nef"_b << "H"_b << "ab\r\n|cd\r\nef"_b;
    QTest::newRow("end crlf") << "ab\r\n|cd\r\nef"_b << "E"_b << "ab\r\ncd|\r\nef"_b;
    QTest::newRow("end lone cr") << "ab\rc|d\ref"_b << "E"_b << "ab\rcd|\ref"_b;
    QTest::newRow("shift home") << "ab\r\nc|d"_b << "h"_b << "ab\r\n|c^d"_b;
    QTest::newRow("document ends") << "a|b\r\n"_b << "Se"_b << "^ab\r\n|"_b;
    QTest::newRow("type over selection") << "a^bc|d"_b << "x"_b << "ax|d"_b;
    QTest::newRow("paste over selection") << "a|bc^d"_b << "P"_b << "aPQ|d"_b;
    QTest::newRow("remove selection") << "a^bc|d"_b << "X"_b << "a|d"_b;
    QTest::newRow("enter") << "a|b"_b << "N"_b << "a\n|b"_b;
    QTest::newRow("overtype") << "a|bc"_b << "Ox"_b << "ax|c"_b;
    QTest::newRow("overtype at line end") << "ab|\r\ncd"_b << "Ox"_b << "abx|\r\ncd"_b;
    QTest::newRow("overtype at text end") << "ab|"_b << "Ox"_b << "abx|"_b;
    QTest::newRow("overtype utf-8") << "a|\xe2\x82\xac" "b"_b << "Ox"_b << "ax|b"_b;
    QTest::newRow("overtype selection") << "^ab|c"_b << "Ox"_b << "x|c"_b;
    QTest::newRow("typing is one step") << "|"_b << "abcU"_b << "|"_b;
    QTest::newRow("caret move breaks typing") << "|"_b << "ab<cU"_b << "a|b"_b;
    QTest::newRow("click breaks typing") << "|"_b << "ab=cU"_b << "ab|"_b;
    QTest::newRow("backspaces are one step") << "abc|"_b << "BBBU"_b << "abc|"_b;
    QTest::newRow("paste is a step of its own") << "|"_b << "abPU"_b << "ab|"_b;
    QTest::newRow("redo") << "|"_b << "abUR"_b << "ab|"_b;
}

void TestTextEditor::keysTakeWholeCharactersAndWords()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, keys);
    QFETCH(QByteArray, expected);
    Fixture f(text);
    for (char key : keys)
        press(f.editor, key);
    QCOMPARE(marked(f.editor), expected);
}

void TestTextEditor::caretFollowsAnEditMadeElsewhere_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("removed");
    QTest::addColumn<QByteArray>("inserted");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("before") << "ab^cd|"_b << 1ll << 0ll << "xyz"_b << "axyzb^cd|"_b;
    QTest::newRow("after") << "ab|cd"_b << 3ll << 1ll << "xy"_b << "ab|cxy"_b;
    QTest::newRow("at the caret") << "ab|cd"_b << 2ll << 0ll << "xy"_b << "ab|xycd"_b;
    QTest::newRow("caret in removed") << "a^bc|de"_b << 1ll << 3ll << "x"_b << "a|xe"_b;
    QTest::newRow("anchor in removed") << "ab^cd|e"_b << 1ll << 2ll << ""_b << "a^d|e"_b;
    QTest::newRow("joins cr and lf") << "\r^x|\n"_b << 1ll << 1ll << ""_b << "|\r\n"_b;
}

void TestTextEditor::caretFollowsAnEditMadeElsewhere()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, from);
    QFETCH(qint64, removed);
    QFETCH(QByteArray, inserted);
    QFETCH(QByteArray, expected);
    Fixture f(text);
    f.document.replace(from, removed, inserted);
    QCOMPARE(marked(f.editor), expected);
}

void TestTextEditor::enterContinuesTheFirstLineEnd_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::newRow("crlf") << "a\r\nb\n"_b << "\r\n"_b;
    QTest::newRow("lone cr") << "a\rb\r\n"_b << "\r"_b;
    QTest::newRow("lf") << "a\nb\r\n"_b << "\n"_b;
    QTest::newRow("cr at the end") << "a\r"_b << "\r"_b;
    QTest::newRow("none") << "a b"_b << "\n"_b;
}

void TestTextEditor::enterContinuesTheFirstLineEnd()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, lineEnd);
    Fixture f(text);
    f.editor.setLineEnd("?");
    f.editor.followLineEnds();
    QCOMPARE(f.editor.lineEnd(), lineEnd);
}

void TestTextEditor::clicksTakeTheWordOrTheLine_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("line");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("inside a word") << "x f|\xc3\xbc_1.y"_b << false << "x ^f\xc3\xbc_1|.y"_b;
    QTest::newRow("word before blank") << "ab| c"_b << false << "^ab| c"_b;
    QTest::newRow("punctuation before blank") << "a ->| b"_b << false << "a ^->| b"_b;
    QTest::newRow("blanks") << "a | \tb"_b << false << "a^  \t|b"_b;
    QTest::newRow("empty line") << "a\r\n|\r\n"_b << false << "a\r\n|\r\n"_b;
    QTest::newRow("line with crlf") << "ab\r\nc|d\r\nef"_b << true << "ab\r\n^cd\r\n|ef"_b;
    QTest::newRow("last line") << "ab\rc|d"_b << true << "ab\r^cd|"_b;
}

void TestTextEditor::clicksTakeTheWordOrTheLine()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, line);
    QFETCH(QByteArray, expected);
    Fixture f(text);
    const TextRange range = line ? f.editor.lineAt(f.editor.caret()) : f.editor.wordAt(f.editor.caret());
    f.editor.setSelection(range.start, range.end);
    QCOMPARE(marked(f.editor), expected);
}

void TestTextEditor::editOutOfMemoryKeepsTextAndSelection_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("keys");
    QTest::newRow("type over selection") << "a^bc|d"_b << "x"_b;
    QTest::newRow("typing") << "ab|"_b << "xy"_b;
    QTest::newRow("backspace") << "a\r\n|b"_b << "B"_b;
    QTest::newRow("delete") << "a|\xe2\x82\xac"_b << "D"_b;
    QTest::newRow("paste") << "a^b|"_b << "P"_b;
    QTest::newRow("overtype") << "a|bc"_b << "Ox"_b;
    QTest::newRow("undo") << "a|"_b << "xU"_b;
    QTest::newRow("redo") << "a|"_b << "xUR"_b;
}

void TestTextEditor::editOutOfMemoryKeepsTextAndSelection()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, keys);
    // Every allocation of the last key is failed in turn, until the key goes through.
    for (int failing = 0;; ++failing) {
        Fixture f(text);
        for (char key : keys.chopped(1))
            press(f.editor, key);
        const QByteArray before = marked(f.editor);
        g_allocationsBeforeFailure = failing;
        try {
            press(f.editor, keys.back());
            g_allocationsBeforeFailure = -1;
            QVERIFY(marked(f.editor) != before);
            break;
        } catch (const std::bad_alloc &) {
            g_allocationsBeforeFailure = -1;
            QCOMPARE(marked(f.editor), before);
        }
    }
}

QTEST_GUILESS_MAIN(TestTextEditor)
#include "tst_texteditor.moc"
