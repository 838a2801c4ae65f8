#include "GoldenFileTest.h"

#include "DeviceRegistry.h"
#include "PacketConversion.h"
#include "SafeFile.h"
#include "TemplateChoice.h"

#include <QFile>
#include <QHash>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace {

struct Entry_Text {
    qsizetype Line = 0; // of its "==" line, counted from 1
    QString Device;
    QString Packet;
    QStringList Boxes; // "! <title> | <text>" lines
    QStringList Pane;  // ">" lines
    QString Problem;   // why the entry cannot be run, empty when it can
    qsizetype Problem_Line = 0;

    void Set_Problem(qsizetype line, const QString& problem) {
        if (Problem.isEmpty()) {
            Problem = problem;
            Problem_Line = line;
        }
    }
};

// The entries of a golden file. Text before the first entry that is neither blank nor a comment
// makes an entry of its own, which fails.
QList<Entry_Text> Read_Entries(const QByteArray& content) {
    QList<Entry_Text> entries;
    const QList<QByteArray> lines = content.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = QString::fromUtf8(lines.at(i));
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.startsWith(QLatin1String("== "))) {
            Entry_Text& entry = entries.emplace_back();
            entry.Line = i + 1;
            const qsizetype bar = line.indexOf(QLatin1String(" | "));
            if (bar < 0)
                entry.Set_Problem(i + 1, QStringLiteral("expected \"== <device> | <packet>\""));
            entry.Device = line.mid(3, bar - 3);
            entry.Packet = line.mid(bar + 3);
        } else if (entries.isEmpty()) {
            if (!line.trimmed().isEmpty() && !line.startsWith(u'#'))
                entries.emplace_back().Set_Problem(i + 1,
                                                   QStringLiteral("text before the first entry"));
        } else if (line.startsWith(u'>')) {
            entries.last().Pane.append(line);
        } else if (line.startsWith(u'!')) {
            if (!line.startsWith(QLatin1String("! ")) || !line.contains(QLatin1String(" | ")))
                entries.last().Set_Problem(i + 1,
                                           QStringLiteral("expected \"! <title> | <text>\""));
            entries.last().Boxes.append(line);
        }
    }
    for (Entry_Text& entry : entries) {
        if (entry.Pane.isEmpty())
            entry.Set_Problem(entry.Line,
                              QStringLiteral("no \">\" line: the expected text is missing"));
    }
    return entries;
}

// A unified diff of two short texts, as one hunk holding both whole.
QByteArray Unified_Diff(const QStringList& expected, const QStringList& actual) {
    const qsizetype n = expected.size(), m = actual.size();
    // common[i][j]: the longest common subsequence of expected[i..] and actual[j..].
    std::vector<std::vector<int>> common(n + 1, std::vector<int>(m + 1, 0));
    for (qsizetype i = n - 1; i >= 0; --i)
        for (qsizetype j = m - 1; j >= 0; --j)
            common[i][j] = expected[i] == actual[j] ? common[i + 1][j + 1] + 1
                                                    : std::max(common[i + 1][j], common[i][j + 1]);
    QString diff = QStringLiteral("--- expected\n+++ actual\n@@ -1,%1 +1,%2 @@\n").arg(n).arg(m);
    qsizetype i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && expected[i] == actual[j]) {
            diff += u' ' + expected[i++] + u'\n';
            ++j;
        } else if (i < n && (j == m || common[i + 1][j] >= common[i][j + 1])) {
            diff += u'-' + expected[i++] + u'\n';
        } else {
            diff += u'+' + actual[j++] + u'\n';
        }
    }
    return diff.toUtf8();
}

using Pane = GoldenFileTest::Pane;

// The boxes a conversion showed, then the pane's lines, in the golden file's form.
QStringList Entry_Lines(const PacketConversion::Result& result, const Pane& pane) {
    QStringList lines;
    for (const UserMessage& message : result.Messages)
        lines.append(QStringLiteral("! ") + message.Title + QStringLiteral(" | ") + message.Text);
    for (const QString& line : QString::fromUtf8(pane.Shown).split(u'\n'))
        lines.append(u'>' + line);
    return lines;
}

class Golden_Run {
  public:
    Golden_Run(const Workspace& workspace, QByteArray& out, const MessageReporter& report)
        : Workdir(workspace), Out(out) {
        for (const DeviceRegistry::Device& device :
             DeviceRegistry::Read(workspace.Registry_Path(), report))
            Files.insert(device.Name, device.File_Name);
    }

    void Check_File(const QString& file_name) {
        const std::optional<QByteArray> content = Read_File(file_name);
        if (!content)
            return;
        const QList<Entry_Text> entries = Read_Entries(*content);
        if (entries.isEmpty())
            Fail(file_name + QStringLiteral(": no entries\n"));
        for (const Entry_Text& entry : entries)
            Check_Entry(file_name, entry);
    }

    // The whole file, read in blocks, so that a file without end (a device, a pipe that keeps
    // writing) stops at the limit; nothing after a failure was counted.
    std::optional<QByteArray> Read_File(const QString& file_name) {
        QFile file(file_name);
        if (!file.open(QIODevice::ReadOnly)) {
            Fail(file_name + QStringLiteral(": cannot read the file\n"));
            return std::nullopt;
        }
        QByteArray content;
        for (QByteArray block; content.size() <= SafeFile::Max_Read_Size;) {
            block = file.read(1 << 16);
            if (block.isEmpty())
                break;
            content += block;
        }
        if (content.size() > SafeFile::Max_Read_Size) {
            Fail(file_name + QStringLiteral(": larger than %1\n").arg(SafeFile::Max_Read_Text()));
            return std::nullopt;
        }
        return content;
    }

    bool Finish() {
        Out += QStringLiteral("%1 passed, %2 failed\n").arg(Passed).arg(Failed).toUtf8();
        return Failed == 0;
    }

  private:
    void Fail(const QString& text) {
        Out += text.toUtf8();
        ++Failed;
    }

    void Check_Entry(const QString& file_name, const Entry_Text& entry) {
        if (!entry.Problem.isEmpty())
            return Fail(QStringLiteral("%1:%2: %3\n")
                            .arg(file_name, QString::number(entry.Problem_Line), entry.Problem));
        const QString where = QStringLiteral("%1:%2: ").arg(file_name, QString::number(entry.Line));
        if (!Files.contains(entry.Device))
            return Fail(where + QStringLiteral("unknown device \"%1\"\n").arg(entry.Device));
        const QStringList expected = entry.Boxes + entry.Pane;
        const QStringList actual = Convert(entry.Device, entry.Packet);
        if (actual == expected) {
            ++Passed;
            return;
        }
        Fail(where + entry.Device + QStringLiteral(" | ") + entry.Packet + u'\n');
        Out += Unified_Diff(expected, actual);
    }

    // The boxes the conversion shows, then the pane's lines, in the golden file's form.
    QStringList Convert(const QString& device, const QString& packet) {
        std::unique_ptr<TemplateChoice>& choice = Choices[device];
        if (!choice)
            choice = std::make_unique<TemplateChoice>(
                TemplateChoice::For_Device(Workdir, device, Files.value(device)));
        PacketConversion conversion(device, [](const UserMessage&) {});
        conversion.Write_Diagnostic_Lines(false);
        Pane pane;
        const PacketConversion::Result& result =
            conversion.Run(packet, choice->Decoding(conversion.Reporter()), &pane);
        return Entry_Lines(result, pane);
    }

    Workspace Workdir;
    QByteArray& Out;
    QHash<QString, QString> Files; // device name to template file name
    std::map<QString, std::unique_ptr<TemplateChoice>> Choices;
    qint64 Passed = 0;
    qint64 Failed = 0;
};

} // namespace

bool GoldenFileTest::Run(const Workspace& workspace, const QStringList& files, QByteArray& out,
                         const MessageReporter& report) {
    Golden_Run run(workspace, out, report);
    for (const QString& file : files)
        run.Check_File(file);
    return run.Finish();
}

std::optional<QString> GoldenFileTest::Entry(const QString& device, const QString& packet,
                                             const PacketConversion::Result& result,
                                             const Pane& pane) {
    const QStringList lines = Entry_Lines(result, pane);
    const QString entry =
        QStringLiteral("== %1 | %2\n%3\n").arg(device, packet, lines.join(QLatin1Char('\n')));
    // What the test reads back must be this very conversion.
    const QList<Entry_Text> read = Read_Entries(entry.toUtf8());
    if (read.size() != 1 || !read.first().Problem.isEmpty() || read.first().Device != device ||
        read.first().Packet != packet || read.first().Boxes + read.first().Pane != lines)
        return std::nullopt;
    return entry;
}
