#include "tests/support/failingallocation.h"
#include "textpane/textdocument.h"
#include "textpane/texteditor.h"

#include <QTest>

#include <cstdlib>
#include <new>


namespace {
QByteArray operator""_b(const char *text, std::size_t size) { return QByteArray(text, qsizetype(size)); }

// Texts are written with the caret as '|' and the anchor as '^' (left out where they meet).
QByteArray marked(const TextEditor &editor)
{
    QByteArray text = editor.document().bytes();
    const qint64 caret = editor.caret();
    const qint64 anchor = editor.anchor();
    if (anchor != caret)
        text.insert(anchor, '^');
    return text.insert(caret + (anchor != caret && anchor < caret), '|');
}

// Keys, one byte each: < > { } Left/Right without and with Shift, [ ] by word, H E h Home, End,
// Shift+Home, S e Ctrl+Home, Shift+Ctrl+End, B D Backspace/Delete, N Enter, P paste "PQ",
// O overtype on, = a click on the caret, U R undo/redo, F follow the line ends, W L select the
// word/line at the caret as a double/triple click does; # % another view inserts "xy" at 1 or
// removes the two bytes there. Any other byte is typed.
void press(TextEditor &e, char key)
{
    switch (key) {
    case '<': e.moveCharacter(-1, false); break;  case '>': e.moveCharacter(+1, false); break;
    case '{': e.moveCharacter(-1, true); break;   case '}': e.moveCharacter(+1, true); break;
    case '[': e.moveWord(-1, false); break;       case ']': e.moveWord(+1, false); break;
    case 'H': e.moveLineStart(false); break;      case 'E': e.moveLineEnd(false); break;
    case 'h': e.moveLineStart(true); break;       case 'S': e.moveDocumentStart(false); break;
    case 'e': e.moveDocumentEnd(true); break;     case 'N': e.newLine(); break;
    case 'B': e.backspace(); break;               case 'D': e.deleteForward(); break;
    case 'P': e.insert("PQ"); break;              case 'O': e.setOvertype(true); break;
    case 'U': e.undo(); break;                    case 'R': e.redo(); break;
    case '=': e.setCaret(e.caret()); break;       case 'F': e.followLineEnds(); break;
    case 'W': { const TextRange r = e.wordAt(e.caret()); e.setSelection(r.start, r.end); break; }
    case 'L': { const TextRange r = e.lineAt(e.caret()); e.setSelection(r.start, r.end); break; }
    case '#': e.document().insert(1, "xy"); break; case '%': e.document().remove(1, 2); break;
    default: e.type(QByteArrayView(&key, 1));
    }
}

// A document of a marked text with nothing to undo, and an editor on it connected as a view's.
struct Fixture
{
    explicit Fixture(const QByteArray &marked) : editor(&document)
    {
        qint64 caret = 0, anchor = -1;
        QByteArray text;
        for (char c : marked) {
            if (c == '|' || c == '^')
                (c == '|' ? caret : anchor) = text.size();
            else
                text += c;
        }
        document.insert(0, text);
        document.clearHistory();
        QObject::connect(&document, &TextDocument::changed, &document, [this](qint64 from, qint64 removed, qint64 added) {
            editor.documentChanged(from, removed, added);
        });
        editor.setSelection(anchor < 0 ? caret : anchor, caret);
    }
    TextDocument document;
    TextEditor editor;
};
} // namespace

class TestTextEditor : public QObject
{
    Q_OBJECT
private slots:
    void keysTakeWholeCharactersAndWords_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("backspace crlf, lf, lone cr") << "a\r\n\n\r|"_b << "BBB"_b << "a|"_b;
        QTest::newRow("backspace utf-8") << "a\xe2\x82\xac\xf0\x9f\x90\xa6|"_b << "BB"_b << "a|"_b;
        QTest::newRow("delete truncated lead") << "|\xe2\x82" "a"_b << "D"_b << "|\x82" "a"_b;
        QTest::newRow("backspace truncated tail") << "\xe2\x82|a"_b << "B"_b << "\xe2|a"_b;
        QTest::newRow("delete overlong, surrogate") << "|\xc0\xe0\x80\x80\xed\xa0\x80"_b << "DDDDD"_b << "|\xa0\x80"_b;
        QTest::newRow("backspace nul") << "a\0|b"_b << "B"_b << "a|b"_b;
        QTest::newRow("backspace combining mark") << "e\xcc\x81|"_b << "B"_b << "e|"_b;
        QTest::newRow("backspace selection") << "a^bc|d"_b << "BB"_b << "|d"_b;
        QTest::newRow("backspace joins cr and lf") << "\rx|\n"_b << "B"_b << "\r\n|"_b;
        QTest::newRow("left over crlf") << "a\r\n|b"_b << "<"_b << "a|\r\nb"_b;
        QTest::newRow("left and right collapse") << "a^bc|de"_b << "<}}>"_b << "abc|de"_b;
        QTest::newRow("selection snaps outward") << "\xc3^\xa9x\xe2\x82|\xac"_b << ""_b << "^\xc3\xa9x\xe2\x82\xac|"_b;
        QTest::newRow("shift keeps anchor") << "a^b|c"_b << "}{{{"_b << "|a^bc"_b;
        QTest::newRow("word right") << "|foo.,bar baz"_b << "]]]"_b << "foo.,bar |baz"_b;
        QTest::newRow("word right non-ascii") << "|gr\xc3\xbc\xc3\x9f gott"_b << "]"_b << "gr\xc3\xbc\xc3\x9f |gott"_b;
        QTest::newRow("word right line ends") << "a|  \r\n\n  b"_b << "]]]"_b << "a  \r\n\n  |b"_b;
        QTest::newRow("word left over blanks") << "x = my_var2  |"_b << "["_b << "x = |my_var2  "_b;
        QTest::newRow("word left line ends") << "a\n\r\n,\xe4\xb8\xad\xe6\x96\x87|"_b << "[[["_b << "a\n|\r\n,\xe4\xb8\xad\xe6\x96\x87"_b;
        QTest::newRow("end lone cr") << "ab\rc|d\ref"_b << "E"_b << "ab\rcd|\ref"_b;
        QTest::newRow("shift home crlf") << "ab\r\ncd|\r\n"_b << "h"_b << "ab\r\n|cd^\r\n"_b;
        QTest::newRow("document ends") << "a|b\r\n"_b << "Se"_b << "^ab\r\n|"_b;
        QTest::newRow("type over selection") << "a^bc|d"_b << "x"_b << "ax|d"_b;
        QTest::newRow("paste over selection") << "a|bc^d"_b << "P"_b << "aPQ|d"_b;
        QTest::newRow("overtype utf-8") << "a|\xe2\x82\xac" "cd"_b << "Oxy"_b << "axy|d"_b;
        QTest::newRow("overtype at line end") << "ab|\r\ncd"_b << "Ox"_b << "abx|\r\ncd"_b;
        QTest::newRow("overtype at text end") << "ab|"_b << "Ox"_b << "abx|"_b;
        QTest::newRow("overtype selection") << "^ab|c"_b << "Ox"_b << "x|c"_b;
        QTest::newRow("typing is one step") << "|"_b << "abcU"_b << "|"_b;
        QTest::newRow("caret move breaks typing") << "|"_b << "ab<>cU"_b << "ab|"_b;
        QTest::newRow("click breaks typing") << "|"_b << "ab=cU"_b << "ab|"_b;
        QTest::newRow("backspaces are one step") << "abc|"_b << "BBBU"_b << "abc|"_b;
        QTest::newRow("paste is a step of its own") << "|"_b << "abPUUR"_b << "ab|"_b;
        QTest::newRow("enter follows crlf") << "a\r\nb|\n"_b << "FN"_b << "a\r\nb\r\n|\n"_b;
        QTest::newRow("enter follows lone cr") << "a\rb|\r\n"_b << "FN"_b << "a\rb\r|\r\n"_b;
        QTest::newRow("enter follows lf") << "a\nb|\r\n"_b << "FN"_b << "a\nb\n|\r\n"_b;
        QTest::newRow("enter without line ends") << "a\r|"_b << "FBFN"_b << "a\n|"_b;
        QTest::newRow("double click in word") << "x f|\xc3\xbc_1.y"_b << "W"_b << "x ^f\xc3\xbc_1|.y"_b;
        QTest::newRow("double click word before blank") << "ab| c"_b << "W"_b << "^ab| c"_b;
        QTest::newRow("triple click crlf") << "ab\r\nc|d\r\nef"_b << "L"_b << "ab\r\n^cd\r\n|ef"_b;
        QTest::newRow("triple click last line") << "ab\rc|d"_b << "L"_b << "ab\r^cd|"_b;
        QTest::newRow("inserted elsewhere before") << "ab^cd|"_b << "#"_b << "axyb^cd|"_b;
        QTest::newRow("inserted elsewhere at caret") << "a|b"_b << "#"_b << "a|xyb"_b;
        QTest::newRow("caret in removed") << "a^b|cd"_b << "%"_b << "a|d"_b;
        QTest::newRow("anchor in removed") << "ab^cd|"_b << "%"_b << "a^d|"_b;
        QTest::newRow("removed elsewhere joins cr and lf") << "\r^xy|\n"_b << "%"_b << "|\r\n"_b;
    }
    void keysTakeWholeCharactersAndWords()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, keys);
        Fixture f(text);
        for (char key : keys)
            press(f.editor, key);
        QTEST(marked(f.editor), "expected");
    }

    void editOutOfMemoryKeepsTextAndSelection_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("keys");
        QTest::newRow("type over selection") << "a^bc|d"_b << "x"_b;
        QTest::newRow("backspace") << "a\r\n|b"_b << "B"_b;
        QTest::newRow("paste") << "a^b|"_b << "P"_b;
        QTest::newRow("undo") << "a|"_b << "xU"_b;
    }
    void editOutOfMemoryKeepsTextAndSelection()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, keys);
        // Each allocation of the last key fails in turn, until the key goes through.
        for (int failing = 0;; ++failing) {
            Fixture f(text);
            for (char key : keys.chopped(1))
                press(f.editor, key);
            const QByteArray before = marked(f.editor);
            g_allocationsLeft = failing;
            try {
                press(f.editor, keys.back());
                g_allocationsLeft = -1;
                QVERIFY(marked(f.editor) != before);
                break;
            } catch (const std::bad_alloc &) {
                g_allocationsLeft = -1;
                QCOMPARE(marked(f.editor), before);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestTextEditor)
#include "tst_texteditor.moc"
