#pragma once
// Layouts as JSON. The windows' and render objects' own record routines run against a JSON record
// text, so every class has a JSON form as soon as it has a record routine. A field left out of the
// JSON takes the value a new object of its class has; those values and the editor hints of the
// fields come from the engine itself (a new object stored through the same routine), never from
// a table kept by hand.

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

class CIArchive;
class CKVQEditHook;
class CKVQWindow;

using LayoutJson = nlohmann::ordered_json;

// A float as the shortest decimal that gives the same float back (else its exact double); values
// JSON has no number for (infinities, NaN) as their bits, "0x" and 8 hex digits. Decoding takes
// either form.
LayoutJson EncodeJsonFloat(float f);
bool DecodeJsonFloat(const LayoutJson& value, float& f);

// The windows of a layout file (one) or a window-list file, released when done.
struct LayoutWindows {
    bool isList = false;
    std::vector<CKVQWindow*> windows;

    LayoutWindows() = default;
    LayoutWindows(const LayoutWindows&) = delete;
    LayoutWindows& operator=(const LayoutWindows&) = delete;
    ~LayoutWindows();

    // Both directions, both forms.
    void Transfer(CIArchive& ar);
};

// What the JSON form knows beyond the fields a record routine names: the record of a new window,
// of a new state and of a new object of each class, and the editor hint of each field. Worked
// out on first use.
class LayoutSchema {
public:
    // Null while the record is being worked out, and for a class this build does not have.
    const LayoutJson* Window();
    const LayoutJson* State();
    const LayoutJson* Class(const std::string& name);
    static std::vector<std::string> ClassNames();
    // The editor hint of a field of a window (owner "") or of an object of class owner; path is
    // the field's keys inside the record joined by "/" ("Sprite/nAlign"). "" when it has none.
    std::string Hint(const std::string& owner, const std::string& path);
    // Told of each field while a new object is stored, to find the attribute it is.
    void Observe(const std::string& owner, const std::string& path, const void* data);

private:
    struct Record {
        LayoutJson values;
        std::map<std::string, std::string> hints;
        bool ready = false;
        bool working = false;
    };
    struct Observed {
        const std::string* owner = nullptr;
        const unsigned char* base = nullptr;
        size_t size = 0;
        const CKVQEditHook* table = nullptr;
        std::map<std::string, std::string>* hints = nullptr;
    };

    void WorkOutWindow();
    void WorkOutClass(const std::string& name, Record& record);

    Record window_;
    LayoutJson state_;
    std::map<std::string, Record> classes_;
    Observed observed_;
};

// The JSON of the windows, every field in record order.
LayoutJson StoreLayoutJson(LayoutWindows& layout, LayoutSchema& schema);
// Reads windows from a document in the full or the brief form; false with "PATH: what is wrong".
// A probe leaves fields that have no known value as the new object has them (used to learn the
// records of list items).
bool LoadLayoutJson(LayoutJson& document, LayoutWindows& layout, LayoutSchema& schema, std::string& error,
                    bool probe = false);
// The brief form of a full document: only what differs from the values of new objects.
LayoutJson BriefLayoutJson(const LayoutJson& full, LayoutSchema& schema);
