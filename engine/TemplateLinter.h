#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Finds the mistakes in a template file that decoding would not report: integers that read as 0
// though they show another value (by the reader's own rule), templates whose total_size no packet
// can have, fields outside the packet, fields over the type byte (a warning), overlapping fields,
// variable tails without `min_size`, bit fields outside the byte,
// byte-field names that print as bit fields, meaning keys that read as absent or take no part,
// formats that cannot read the field's size, templates that are never selected, empty elements
// that select as no template, and documents
// that are not template files at all. Pure: takes any bytes, never fails.
class TemplateLinter {
  public:
    struct Finding {
        int Template_Index = -1; // the element of `packet_data`; -1 for the document as a whole
        bool Of_Field = false;   // about one field of the template, named by Field_Name
        QString Field_Name;
        QString Text;
        bool Is_Warning = false; // may be meant; a template with only warnings passes the check

        // "template 1, field "Status": ...", "template 0: ...", or "document: ...", with
        // "warning: " before the text of a warning.
        QString Line() const;
        friend bool operator==(const Finding&, const Finding&) = default;
    };

    static QList<Finding> Lint(const QByteArray& document);
    // True when a finding is more than a warning.
    static bool Has_Errors(const QList<Finding>& findings);
};
