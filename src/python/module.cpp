// SPDX-License-Identifier: Apache-2.0
// The compiled part of the Python package `corvane` (its __init__.py imports
// it as corvane._corvane): the converter's road (read, convert, write)
// for pipelines, over the same core functions as the window and
// corvane-convert. The core's work runs without the GIL on a thread of its
// own, so that Ctrl+C stops it.
#include "cli/converter.h"
#include "export/exporter.h"
#include "export/savetransaction.h"
#include "formats/kit/stoprequest.h"
#include "formats/registry.h"
#include "formats/writecontext.h"
#include "import/detect.h"
#include "import/errorkind.h"
#include "import/importer.h"
#include "settings/platesettings.h"
#include "settings/trackoperations.h"
#include "table/tracktable.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <QFile>
#include <QRegularExpression>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <future>
#include <limits>
#include <memory>
#include <optional>

namespace py = pybind11;
using namespace corvane;

namespace {

std::string text(const QString &s)
{
    return s.toStdString();
}

QString qtext(const std::string &s)
{
    return QString::fromStdString(s);
}

std::vector<std::string> texts(const QStringList &list)
{
    std::vector<std::string> out;
    out.reserve(size_t(list.size()));
    for (const QString &s : list)
        out.push_back(text(s));
    return out;
}

// The module's exception types, made once at import and kept for the
// interpreter's life (a static object would be let go after it ends).
PyObject *readErrorType = nullptr;
PyObject *notFoundErrorType = nullptr; // a ReadError that is a FileNotFoundError too
PyObject *saveErrorType = nullptr;
PyObject *settingsErrorType = nullptr; // a ValueError

// The core's words for the converter's command line, in the module's terms.
QString pythonWords(QString message)
{
    static const std::pair<const char *, const char *> words[] = {
        {" Give --from FORMAT if you know its format (see --list-formats).",
         " Pass format=\"...\" if you know its format (see corvane.formats())."},
        {"give --from FORMAT.", "pass format=\"...\"."},
        {" Give it with --plate WIDTHxHEIGHT.", " Pass plate=(W, H)."},
        {"give it with --plate WIDTHxHEIGHT.", "pass plate=(W, H)."},
        {"--plate WIDTHxHEIGHT", "plate=(W, H)"},
        {"choose another --to.", "choose another format."},
        {"(--force replaces it)", "(force=True replaces it)"},
        {" (--corners UL,UR,LL,LR)",
         " (corners=: upper left, upper right, lower left, lower right)"},
        {"-o names one file, but", "output= names one file, but"},
        {"give -o an existing folder, or use --append.", "pass output= an existing folder."},
        {"--strict", "strict=True"},
        {"--first-frame", "first_frame="},
        {"--par", "par="},
    };
    for (const auto &[from, to] : words)
        message.replace(QLatin1String(from), QLatin1String(to));
    return message;
}

// What went wrong, in one word of the documented list (the core's, as the
// converter's --json gives it).
const char *readKind(const QString &message, const QString &file, bool formatKnown)
{
    return errorKindName(readErrorKind(message, file, formatKnown));
}

// Raises type(message) with the file and line the core named, and its kind.
// named: the error is about that file, even an empty path.
[[noreturn]] void raise(PyObject *typeObject, const QString &message, const QString &file, int line,
                        const char *kind, bool named = false)
{
    const QString words = pythonWords(message);
    if (typeObject == readErrorType && std::string_view(kind) == "not-found")
        typeObject = notFoundErrorType;
    const auto type = py::reinterpret_borrow<py::object>(typeObject);
    py::object error =
        typeObject == notFoundErrorType ? type(ENOENT, text(words)) : type(text(words));
    error.attr("file") = file.isEmpty() && !named ? py::object(py::none()) : py::str(text(file));
    error.attr("line") = line > 0 ? py::object(py::int_(line)) : py::object(py::none());
    error.attr("kind") = py::str(kind);
    PyErr_SetObject(typeObject, error.ptr());
    throw py::error_already_set();
}

// The core's work on a thread of its own, without the GIL, while this
// thread looks for signals (Python runs their handlers here only): on
// Ctrl+C the work is asked to stop, and KeyboardInterrupt propagates once
// it has given everything back.
template <typename Work> auto interruptible(Work &&work) -> decltype(work())
{
    using namespace std::chrono_literals;
    auto done = std::async(std::launch::async, std::forward<Work>(work));
    while (true) {
        {
            py::gil_scoped_release unlocked;
            if (done.wait_for(50ms) == std::future_status::ready) break;
        }
        if (PyErr_CheckSignals() != 0) {
            requestStop(SIGINT);
            {
                py::gil_scoped_release unlocked;
                done.wait();
            }
            clearStopRequest();
            throw py::error_already_set();
        }
    }
    return done.get();
}

std::string typeName(const py::handle &value)
{
    return py::str(py::type::handle_of(value).attr("__name__"));
}

[[noreturn]] void wrongType(const std::string &what, const char *expected, const py::handle &value)
{
    throw py::type_error(what + ": expected " + expected + ", not " + typeName(value));
}

// A sequence of items (a text is one value, not a sequence of letters).
void requireSequence(const py::handle &value, const std::string &what, const char *expected)
{
    if (!py::isinstance<py::iterable>(value) || py::isinstance<py::str>(value) ||
        py::isinstance<py::bytes>(value))
        wrongType(what, expected, value);
}

std::string textArg(const py::handle &value, const std::string &what)
{
    if (!py::isinstance<py::str>(value)) wrongType(what, "a str", value);
    Py_ssize_t size = 0;
    const char *utf8 = PyUnicode_AsUTF8AndSize(value.ptr(), &size);
    if (!utf8) {
        PyErr_Clear();
        throw py::value_error(what + ": not a text of Unicode characters (a lone surrogate)");
    }
    return std::string(utf8, size_t(size));
}

std::optional<std::string> optionalTextArg(const py::handle &value, const std::string &name)
{
    if (value.is_none()) return std::nullopt;
    return textArg(value, name);
}

// A path as str, bytes or os.PathLike. A NUL would end it early in the
// system's calls: another file than the one named.
std::string pathArg(const py::handle &value, const std::string &name)
{
    const py::module_ os = py::module_::import("os");
    py::object path;
    try {
        path = os.attr("fsdecode")(value);
    } catch (const py::error_already_set &) {
        wrongType(name, "a str, bytes or os.PathLike path", value);
    }
    const std::string out = textArg(path, name);
    if (out.find('\0') != std::string::npos)
        throw py::value_error(name + ": the path holds a NUL character");
    return out;
}

bool boolArg(const py::handle &value, const char *name)
{
    if (!py::isinstance<py::bool_>(value)) wrongType(name, "True or False", value);
    return value.cast<bool>();
}

// An integer (any object with __index__, not a float or a text).
int intArg(const py::handle &value, const std::string &what)
{
    if (py::isinstance<py::float_>(value) || !PyIndex_Check(value.ptr()))
        wrongType(what, "an int", value);
    const auto number = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    if (!number) throw py::error_already_set();
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
    if (overflow != 0 || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        throw py::value_error(what + ": " + std::string(py::str(value)) +
                              " is out of range of a frame or size");
    return int(v);
}

std::optional<int> optionalIntArg(const py::handle &value, const char *name)
{
    if (value.is_none()) return std::nullopt;
    return intArg(value, name);
}

// A number (an int, a float, or anything with __float__), not a text.
double floatArg(const py::handle &value, const std::string &what)
{
    if (py::isinstance<py::str>(value) || py::isinstance<py::bytes>(value))
        wrongType(what, "a number", value);
    const double v = PyFloat_AsDouble(value.ptr());
    if (v == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        wrongType(what, "a number", value);
    }
    return v;
}

// (width, height), or none.
std::optional<std::pair<int, int>> plateArg(const py::handle &value, const char *name)
{
    if (value.is_none()) return std::nullopt;
    if (!py::isinstance<py::sequence>(value) || py::isinstance<py::str>(value) ||
        py::len(value) != 2)
        wrongType(name, "(width, height) or None", value);
    const auto pair = py::reinterpret_borrow<py::sequence>(value);
    const std::string what(name);
    return std::make_pair(intArg(pair[0], what + " width"), intArg(pair[1], what + " height"));
}

struct Tracks;
const Tracks &tracksArg(const py::handle &value, const char *name);

const Format &formatNamed(const std::string &id)
{
    const Format *format = formatByIdOrFilter(qtext(id));
    if (!format) {
        QStringList ids;
        for (const Format &f : formats())
            ids << QLatin1String(f.id);
        throw py::value_error(text(QStringLiteral("unknown format \"%1\"; the formats are: %2")
                                       .arg(qtext(id), ids.join(QStringLiteral(", ")))));
    }
    return *format;
}

struct PyFormat
{
    const Format *format;
};

// A track's rows: their frames and coordinates, never changed once made, so
// that the arrays handed to Python view them (read-only) for as long as any
// of them lives.
struct TrackRows
{
    std::vector<int> frames;
    std::vector<double> x, y;
};

struct Tracks;

// One track. Taken from Tracks, it belongs to them: a new name renames the
// track in them as well.
struct Track
{
    std::string name;
    std::shared_ptr<const TrackRows> rows = std::make_shared<TrackRows>();
    std::weak_ptr<Tracks> owner;
};

// A track of the table: where its rows are.
struct TableTrack
{
    Track track;
    int firstRow = 0;
};

// A table with the settings it was read or made with, the format it was read
// as, and the target it was converted for (none before a conversion).
struct Tracks
{
    std::shared_ptr<TrackTable> table = std::make_shared<TrackTable>();
    PlateSettings settings;
    std::vector<std::string> notes;
    std::vector<std::string> operations; // what each track operation did, in order
    const Format *format = nullptr;
    const Format *convertedFor = nullptr;
    mutable std::optional<std::vector<TableTrack>> tracks; // made when first asked for

    const std::vector<TableTrack> &list() const
    {
        if (tracks) return *tracks;
        std::vector<TableTrack> out;
        std::vector<TrackRows> rows;
        const TrackTable &t = *table;
        QString current; // the name of out.back(), as the table holds it
        for (int r = 0; r < t.rowCount(); ++r) {
            const ExportRow row(&t, r);
            if (out.empty() || row.name != current) {
                current = row.name;
                out.push_back({{text(row.name), {}, {}}, r});
                rows.emplace_back();
            }
            rows.back().frames.push_back(row.frame);
            rows.back().x.push_back(row.x());
            rows.back().y.push_back(row.y());
        }
        for (size_t i = 0; i < out.size(); ++i)
            out[i].track.rows = std::make_shared<const TrackRows>(std::move(rows[i]));
        tracks = std::move(out);
        return *tracks;
    }
    int rowsOf(size_t index) const
    {
        const auto &l = list();
        return (index + 1 < l.size() ? l[index + 1].firstRow : table->rowCount()) -
               l[index].firstRow;
    }
    // The index of the first track of the name, or -1.
    long long find(const std::string &name) const
    {
        const auto &l = list();
        for (size_t i = 0; i < l.size(); ++i)
            if (l[i].track.name == name) return (long long)(i);
        return -1;
    }
    void edited() { tracks.reset(); }
    // The format whose values the table's cells hold.
    const Format *valuesFormat() const { return convertedFor ? convertedFor : format; }
    std::optional<std::pair<int, int>> plate() const
    {
        const int w = settings.plateWidth.toInt(), h = settings.plateHeight.toInt();
        if (w <= 0 || h <= 0) return std::nullopt;
        return std::make_pair(w, h);
    }
};

const Tracks &tracksArg(const py::handle &value, const char *name)
{
    if (!py::isinstance<Tracks>(value)) wrongType(name, "corvane.Tracks", value);
    return value.cast<const Tracks &>();
}

Tracks fromSet(const TrackSet &set, const Format &format)
{
    Tracks tracks;
    tracks.format = &format;
    const QString filter = QLatin1String(format.importFilter);
    fillImport(*tracks.table, set, ImportMode::NewList, filter);
    takeOverImport(tracks.settings, set, ImportMode::NewList, filter);
    return tracks;
}

// What killed or stopped saves had left in a folder, put back: the user
// hears of it as a warning.
void warnRecovered(const QStringList &recovered)
{
    for (const QString &message : recovered)
        if (PyErr_WarnEx(PyExc_RuntimeWarning, text(message).c_str(), 1) != 0)
            throw py::error_already_set();
}

Tracks readTracks(const py::object &pathValue, const py::object &formatValue,
                  const py::object &strictValue, const py::object &cameraValue)
{
    const std::string path = pathArg(pathValue, "path");
    const std::optional<std::string> formatId = optionalTextArg(formatValue, "format");
    const bool strict = boolArg(strictValue, "strict");
    const Format *from = formatId ? &formatNamed(*formatId) : nullptr;
    const std::optional<Camera> camera = parseCamera(qtext(textArg(cameraValue, "camera")));
    if (!camera) throw py::value_error("camera: not \"primary\", \"secondary\" or \"all\"");
    const QString file = qtext(path);
    warnRecovered(SaveTransaction::recoverFolders({file}));
    Tracks tracks;
    Outcome outcome;
    ImportResult result;
    interruptible([&] {
        tracks.format = inputFormat(file, from, outcome);
        if (tracks.format)
            result = importFile(*tracks.table, tracks.settings, file, *tracks.format,
                                ImportMode::NewList, *camera);
    });
    if (!outcome.message.isEmpty()) {
        const QString about = outcome.errorFile.isEmpty() ? file : outcome.errorFile;
        raise(readErrorType, outcome.message, about, outcome.errorLine,
              readKind(outcome.message, about, false), true);
    }
    if (!result.ok())
        raise(readErrorType, result.error, file, result.line, errorKindName(result.kind), true);
    if (strict && result.leftOut.any())
        raise(readErrorType, strictMessage(result.leftOut, "strict=True"), file,
              result.leftOut.firstLine, "unsupported-layout", true);
    tracks.notes = texts(outcome.notes + result.notes);
    return tracks;
}

std::vector<std::string> detect(const py::object &pathValue)
{
    const QString path = qtext(pathArg(pathValue, "path"));
    const Detection detection = interruptible([&] { return detectFormat(path); });
    if (!detection.error.isEmpty())
        raise(readErrorType, detection.error, path, 0, readKind(detection.error, path, false),
              true);
    std::vector<std::string> ids;
    if (detection.format) ids.push_back(detection.format->id);
    for (const Format *f : detection.candidates)
        if (f != detection.format) ids.push_back(f->id);
    return ids;
}

// The target and the Step 3 values of a conversion, checked as the
// converter checks its options (the settings' limits are the core's).
ConvertOptions conversionOptions(const std::string &to, std::optional<std::pair<int, int>> plate,
                                 const std::string &preset, double par,
                                 std::optional<int> firstFrame, const std::string &conventions)
{
    ConvertOptions options;
    options.target = &formatNamed(to);
    if (!options.target->writer)
        throw py::value_error(text(QStringLiteral("Corvane reads %1 files but does not write them")
                                       .arg(QLatin1String(options.target->name))));
    const std::optional<int> presetIndex = parsePreset(qtext(preset));
    if (!presetIndex)
        throw py::value_error(text(QStringLiteral("unknown preset \"%1\"; the presets are: %2")
                                       .arg(qtext(preset), presetNames().join(", "))));
    if (conventions != "program" && conventions != "file")
        throw py::value_error("conventions is \"program\" or \"file\"");
    if (plate && (plate->first <= 0 || plate->second <= 0))
        throw py::value_error("the plate's width and height are positive");
    options.plate = plate;
    options.preset = *presetIndex;
    options.pixelAspect = QString::number(par, 'g', 17);
    options.firstFrame = firstFrame;
    options.programConventions = conventions == "program";
    return options;
}

Tracks convertTracks(const Tracks &source, const std::string &to,
                     std::optional<std::pair<int, int>> plate, const std::string &preset,
                     double par, std::optional<int> firstFrame, const std::string &conventions)
{
    const ConvertOptions options =
        conversionOptions(to, plate, preset, par, firstFrame, conventions);

    Tracks out;
    out.settings = source.settings;
    out.notes = source.notes;
    out.format = source.format;
    Outcome outcome;
    QStringList conventionNotes;
    bool ok = false;
    interruptible([&] {
        *out.table = source.table->clone();
        ok = applyConvertOptions(*out.table, out.settings, options, outcome, conventionNotes);
        if (ok) {
            const Validation validation = validateForExport(*out.table);
            if (!validation.ok()) {
                outcome.message = validation.error;
                ok = false;
            }
        }
    });
    if (!ok) raise(settingsErrorType, outcome.message, QString(), 0, "settings");
    for (const QString &note : conventionNotes)
        out.notes.push_back(text(note));
    out.convertedFor = options.target;
    return out;
}

struct SaveReport
{
    std::vector<std::string> written, notes;
    std::vector<std::pair<std::string, std::string>> renamed;
    int rows = 0, tracks = 0;
};

// Files converted as the converter converts them, each on its own (jobs at
// once), all read and converted before any is written: the files written.
std::vector<std::string> convertFiles(const py::object &paths, const py::object &to,
                                      const py::object &output, const py::object &plate,
                                      const py::object &preset, const py::object &par,
                                      const py::object &firstFrame, const py::object &conventions,
                                      const py::object &jobs)
{
    if (!py::isinstance<py::iterable>(paths) || py::isinstance<py::str>(paths))
        wrongType("paths", "an iterable of paths", paths);
    ConvertOptions options =
        conversionOptions(textArg(to, "to"), plateArg(plate, "plate"), textArg(preset, "preset"),
                          floatArg(par, "par"), optionalIntArg(firstFrame, "first_frame"),
                          textArg(conventions, "conventions"));
    for (const py::handle &path : paths)
        options.inputs << qtext(pathArg(path, "paths"));
    if (options.inputs.isEmpty()) throw py::value_error("paths: no file given");
    if (!output.is_none()) options.output = qtext(pathArg(output, "output"));
    const std::optional<int> jobCount = optionalIntArg(jobs, "jobs");
    if (jobCount && (*jobCount < 1 || *jobCount > 256))
        throw py::value_error("jobs: a whole number from 1 to 256");
    options.jobs = jobCount.value_or(0);
    const Outcome outcome = interruptible([&] { return convert(options); });
    if (outcome.code != Done) {
        PyObject *type = outcome.code == OutputError  ? saveErrorType
                         : outcome.code == InputError ? readErrorType
                                                      : settingsErrorType;
        raise(type, outcome.message, outcome.errorFile, outcome.errorLine,
              errorKindName(outcomeKind(outcome)));
    }
    std::vector<std::string> written;
    for (const QString &file : outcome.written)
        written.push_back(text(file));
    return written;
}

Tracks convertArgs(const py::object &tracks, const py::object &to, const py::object &plate,
                   const py::object &preset, const py::object &par, const py::object &firstFrame,
                   const py::object &conventions)
{
    return convertTracks(tracksArg(tracks, "tracks"), textArg(to, "to"), plateArg(plate, "plate"),
                         textArg(preset, "preset"), floatArg(par, "par"),
                         optionalIntArg(firstFrame, "first_frame"),
                         textArg(conventions, "conventions"));
}

// A corner pin's four track names: None, or a sequence of four texts.
QStringList cornersArg(const py::object &value)
{
    QStringList out;
    if (value.is_none()) return out;
    if (!py::isinstance<py::sequence>(value) || py::isinstance<py::str>(value))
        wrongType("corners", "four track names", value);
    for (const py::handle &item : py::reinterpret_borrow<py::sequence>(value))
        out << qtext(textArg(item, "corners: a name"));
    if (out.size() != 4)
        throw py::value_error("corners: give four track names (upper left, upper right, lower "
                              "left, lower right)");
    return out;
}

SaveReport writeTracks(const py::object &tracksValue, const py::object &pathValue,
                       const py::object &formatValue, const py::object &forceValue,
                       const py::object &cornersValue)
{
    const bool force = boolArg(forceValue, "force");
    const QStringList corners = cornersArg(cornersValue);
    const Tracks &tracks = tracksArg(tracksValue, "tracks");
    const std::string path = pathArg(pathValue, "path");
    const std::optional<std::string> formatId = optionalTextArg(formatValue, "format");
    const Format *format = formatId ? &formatNamed(*formatId) : tracks.convertedFor;
    if (!format)
        throw py::value_error("give the format to write, or convert the tracks for one first");
    // Tracks not converted for this format are converted with what they hold.
    const Tracks converted = tracks.convertedFor == format
                                 ? tracks
                                 : convertTracks(tracks, format->id, tracks.plate(), "default", 1.0,
                                                 std::nullopt, "program");
    const ExportResult result = interruptible([&] {
        ExportParams params = exportParams(converted.settings, *format, qtext(path));
        params.replaceProtected = force;
        params.corners = corners;
        return exportTable(*converted.table, params);
    });
    warnRecovered(result.recovered);
    if (!result.writeProtected.isEmpty())
        raise(saveErrorType, result.error + QStringLiteral(" (force=True replaces it)"),
              qtext(path), 0, "cannot-write");
    if (!result.ok()) raise(saveErrorType, result.error, qtext(path), 0, "cannot-write");
    SaveReport report;
    report.written = texts(result.written);
    report.notes = texts(result.notes);
    for (const RenamedTrack &r : result.renamed)
        report.renamed.emplace_back(text(r.from), text(r.to));
    report.rows = result.rows;
    report.tracks = result.tracks;
    return report;
}

// A NumPy array (or anything with a dtype and dimensions), one-dimensional.
bool isArray(const py::handle &value)
{
    return py::hasattr(value, "dtype") && py::hasattr(value, "ndim");
}

std::string dtypeKind(const py::handle &array, const std::string &what)
{
    if (py::int_(array.attr("ndim")).cast<int>() != 1)
        throw py::value_error(what + ": expected a one-dimensional array, not one of " +
                              std::string(py::str(array.attr("ndim"))) + " dimensions");
    return py::str(array.attr("dtype").attr("kind"));
}

// Whole numbers: an int array, or a sequence of ints.
std::vector<int> framesArg(const py::handle &value, const std::string &what)
{
    std::vector<int> out;
    if (isArray(value)) {
        const std::string kind = dtypeKind(value, what);
        if (kind != "i" && kind != "u")
            throw py::type_error(what + ": expected an array of whole numbers, not of " +
                                 std::string(py::str(value.attr("dtype"))));
        const auto array =
            py::array_t<long long, py::array::c_style | py::array::forcecast>::ensure(value);
        if (!array) throw py::error_already_set();
        out.reserve(size_t(array.size()));
        for (py::ssize_t i = 0; i < array.size(); ++i) {
            const long long v = array.data()[i];
            if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
                throw py::value_error(what + ": " + std::to_string(v) +
                                      " is out of range of a frame");
            out.push_back(int(v));
        }
        return out;
    }
    requireSequence(value, what, "a sequence or an array of ints");
    for (const py::handle &item : value)
        out.push_back(intArg(item, what + "[" + std::to_string(out.size()) + "]"));
    return out;
}

// Numbers: a numeric array, or a sequence of numbers.
std::vector<double> numbersArg(const py::handle &value, const std::string &what)
{
    std::vector<double> out;
    if (isArray(value)) {
        const std::string kind = dtypeKind(value, what);
        if (kind != "i" && kind != "u" && kind != "f")
            throw py::type_error(what + ": expected an array of numbers, not of " +
                                 std::string(py::str(value.attr("dtype"))));
        const auto array =
            py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(value);
        if (!array) throw py::error_already_set();
        out.assign(array.data(), array.data() + array.size());
        return out;
    }
    requireSequence(value, what, "a sequence or an array of numbers");
    for (const py::handle &item : value)
        out.push_back(floatArg(item, what + "[" + std::to_string(out.size()) + "]"));
    return out;
}

std::string trackNameArg(const py::handle &value)
{
    std::string name = textArg(value, "name");
    if (name.empty()) throw py::value_error("name: a track's name is not empty");
    return name;
}

Track makeTrack(const py::object &name, const py::object &frames, const py::object &x,
                const py::object &y)
{
    Track track;
    track.name = trackNameArg(name);
    TrackRows rows{framesArg(frames, "frames"), numbersArg(x, "x"), numbersArg(y, "y")};
    if (rows.x.size() != rows.frames.size() || rows.y.size() != rows.frames.size())
        throw py::value_error(text(QStringLiteral("frames, x and y differ in length (%1, %2, %3)")
                                       .arg(rows.frames.size())
                                       .arg(rows.x.size())
                                       .arg(rows.y.size())));
    if (rows.frames.empty()) throw py::value_error("a track holds at least one row");
    track.rows = std::make_shared<const TrackRows>(std::move(rows));
    return track;
}

// A read-only array over the track's rows, keeping them alive.
template <typename T>
py::array view(const std::shared_ptr<const TrackRows> &rows, const std::vector<T> &values)
{
    auto *keep = new std::shared_ptr<const TrackRows>(rows);
    const py::capsule base(
        keep, [](void *p) { delete static_cast<std::shared_ptr<const TrackRows> *>(p); });
    py::array_t<T> array(py::ssize_t(values.size()), values.data(), base);
    array.attr("setflags")(py::arg("write") = false);
    return std::move(array);
}

bool sameTrack(const Track &a, const Track &b)
{
    return a.name == b.name &&
           (a.rows == b.rows ||
            (a.rows->frames == b.rows->frames && a.rows->x == b.rows->x && a.rows->y == b.rows->y));
}

void appendTrackRows(TrackSet &set, const Track &track)
{
    const QString name = qtext(track.name);
    const TrackRows &rows = *track.rows;
    for (size_t i = 0; i < rows.frames.size(); ++i)
        set.append(name, rows.frames[i], rows.x[i], rows.y[i]);
}

// One (name, frame, x, y) row of from_rows into the set, or a Track's rows;
// number counts from 1.
void appendRow(TrackSet &set, const py::handle &item, int number)
{
    if (py::isinstance<Track>(item)) {
        appendTrackRows(set, item.cast<const Track &>());
        return;
    }
    const std::string what = "rows: row " + std::to_string(number);
    if (!py::isinstance<py::sequence>(item) || py::isinstance<py::str>(item) ||
        py::isinstance<py::bytes>(item))
        wrongType(what, "a (name, frame, x, y) tuple or a corvane.Track", item);
    const auto row = py::reinterpret_borrow<py::sequence>(item);
    if (row.size() != 4)
        throw py::value_error(text(QStringLiteral("%1 is not (name, frame, x, y): it has %2 values")
                                       .arg(QString::fromStdString(what))
                                       .arg(row.size())));
    const std::string name = textArg(row[0], what + " name");
    if (name.empty()) throw py::value_error(what + " has no name");
    set.append(qtext(name), intArg(row[1], what + " frame"), floatArg(row[2], what + " x"),
               floatArg(row[3], what + " y"));
}

Tracks fromRows(const py::object &rows, const py::object &plateValue, const py::object &formatValue)
{
    const Format &format = formatNamed(textArg(formatValue, "format"));
    const std::optional<std::pair<int, int>> plate = plateArg(plateValue, "plate");
    if (plate && (plate->first <= 0 || plate->second <= 0))
        throw py::value_error("the plate's width and height are positive");
    if (!py::isinstance<py::iterable>(rows) || py::isinstance<py::str>(rows))
        wrongType("rows", "an iterable of (name, frame, x, y) rows", rows);
    TrackSet set;
    int number = 0;
    for (const py::handle &item : rows)
        appendRow(set, item, ++number);
    // The first frame is the rows' smallest, as a file's reader gives it, so
    // that first_frame= and the frame bases count from it.
    if (!set.frames.empty())
        set.firstFrame = QString::number(*std::min_element(set.frames.begin(), set.frames.end()));
    if (plate) {
        set.plateWidth = plate->first;
        set.plateHeight = plate->second;
    }
    return interruptible([&] { return fromSet(set, format); });
}

// A track operation on a copy of the tracks, its parameters checked as the
// converter checks its option's text.
Tracks operated(const Tracks &source, const char *option, const ParsedOperation &parsed)
{
    if (!parsed.operation) {
        // The converter's words name its option; here the method is named.
        QString message = parsed.error;
        message.replace(QStringLiteral("--%1: ").arg(QLatin1String(option)), QString());
        throw py::value_error(
            QStringLiteral("%1(): %2")
                .arg(QString::fromLatin1(option).replace(QLatin1Char('-'), QLatin1Char('_')),
                     message)
                .toStdString());
    }
    Tracks out;
    out.settings = source.settings;
    out.notes = source.notes;
    out.operations = source.operations;
    out.format = source.format;
    TrackOperationsOutcome outcome;
    interruptible([&] {
        *out.table = source.table->clone();
        outcome = runTrackOperations(*out.table, out.settings, {*parsed.operation});
    });
    if (!outcome.ok()) {
        QString message =
            QStringLiteral("%1(): %2")
                .arg(QString::fromLatin1(option).replace(QLatin1Char('-'), QLatin1Char('_')),
                     outcome.error);
        if (outcome.plateMissing)
            message += QStringLiteral(" Give it with Tracks.from_rows(..., plate=) or read a file "
                                      "that states it.");
        if (outcome.plateMissing) raise(settingsErrorType, message, QString(), 0, "settings");
        throw py::value_error(text(pythonWords(message)));
    }
    for (const QString &summary : outcome.summaries)
        out.operations.push_back(text(summary));
    // Coordinates taken back to their source values need converting again.
    using K = TrackOperationKind;
    const K kind = parsed.operation->kind;
    const bool coordinates = kind != K::Rename && kind != K::RenameMap && kind != K::Prefix &&
                             kind != K::Suffix && kind != K::Slip && kind != K::StartAt &&
                             kind != K::Trim && kind != K::DropBefore && kind != K::MinKeys &&
                             kind != K::FillGaps;
    out.convertedFor = coordinates ? nullptr : source.convertedFor;
    return out;
}

Tracks operated(const Tracks &source, const char *option, const QString &value,
                const QString &fileName = QString())
{
    return operated(source, option, parseTrackOperation(QLatin1String(option), value, fileName));
}

QString numberText(const py::handle &value, const std::string &what)
{
    return QString::number(floatArg(value, what), 'g', 17);
}

QString intText(const py::handle &value, const std::string &what)
{
    return QString::number(intArg(value, what));
}

QString numbersText(std::initializer_list<std::pair<py::handle, const char *>> values)
{
    QStringList parts;
    for (const auto &v : values)
        parts << numberText(v.first, v.second);
    return parts.join(QLatin1Char(','));
}

using TracksClass = py::class_<Tracks, std::shared_ptr<Tracks>>;

void defineOperations(TracksClass &c)
{
    c.def(
         "rename",
         [](const Tracks &t, const py::object &pattern, const py::object &replacement) {
             return operated(t, "rename",
                             renameOperation(qtext(textArg(pattern, "pattern")),
                                             qtext(textArg(replacement, "replacement"))));
         },
         py::arg("pattern"), py::arg("replacement"),
         "Tracks whose names match the regular expression renamed (\\1 for a captured group).")
        .def(
            "rename_file",
            [](const Tracks &t, const py::object &path) {
                const QString file = qtext(pathArg(path, "path"));
                QFile f(file);
                if (readErrorKind(QString(), file, true) == ErrorKind::NotFound)
                    raise(readErrorType,
                          QStringLiteral("rename_file(): %1 does not exist").arg(file), file, 0,
                          "not-found");
                if (!f.open(QIODevice::ReadOnly))
                    throw py::value_error(text(QStringLiteral("rename_file(): cannot read %1: %2")
                                                   .arg(file, f.errorString())));
                return operated(t, "rename-file", QString::fromUtf8(f.readAll()), file);
            },
            py::arg("path"), "Tracks renamed by a list: an old and a new name per line.")
        .def(
            "rename_map",
            [](const Tracks &t, const py::dict &mapping) {
                QString lines;
                for (const auto &item : mapping)
                    lines += qtext(textArg(item.first, "mapping key")) + QLatin1Char('\t') +
                             qtext(textArg(item.second, "mapping value")) + QLatin1Char('\n');
                return operated(t, "rename-file", lines, QStringLiteral("mapping"));
            },
            py::arg("mapping"), "Tracks renamed by a dict of old names to new ones.")
        .def(
            "prefix",
            [](const Tracks &t, const py::object &v) {
                return operated(t, "prefix", qtext(textArg(v, "text")));
            },
            py::arg("text"), "Every track's name with the text in front (after a shape's name).")
        .def(
            "suffix",
            [](const Tracks &t, const py::object &v) {
                return operated(t, "suffix", qtext(textArg(v, "text")));
            },
            py::arg("text"), "Every track's name with the text after it.")
        .def(
            "slip",
            [](const Tracks &t, const py::object &n) {
                return operated(t, "slip", intText(n, "frames"));
            },
            py::arg("frames"), "Every key moved by a number of frames.")
        .def(
            "start_at",
            [](const Tracks &t, const py::object &f) {
                return operated(t, "start-at", intText(f, "frame"));
            },
            py::arg("frame"), "Every key moved so that the earliest lands on the frame.")
        .def(
            "trim",
            [](const Tracks &t, const py::object &first, const py::object &last) {
                return operated(t, "trim",
                                intText(first, "first") + QStringLiteral("..") +
                                    intText(last, "last"));
            },
            py::arg("first"), py::arg("last"),
            "The keys before first and after last removed; a track left empty goes.")
        .def(
            "drop_before",
            [](const Tracks &t, const py::object &f) {
                return operated(t, "drop-before", intText(f, "frame"));
            },
            py::arg("frame"), "The keys before the frame removed.")
        .def(
            "shift",
            [](const Tracks &t, const py::object &dx, const py::object &dy) {
                return operated(t, "shift", numbersText({{dx, "dx"}, {dy, "dy"}}));
            },
            py::arg("dx"), py::arg("dy"),
            "Every point moved by pixels (X right, Y down the plate).")
        .def(
            "scale",
            [](const Tracks &t, const py::object &sx, const py::object &sy) {
                return operated(t, "scale",
                                sy.is_none() ? numberText(sx, "sx")
                                             : numbersText({{sx, "sx"}, {sy, "sy"}}));
            },
            py::arg("sx"), py::arg("sy") = py::none(),
            "Points and plate scaled (sy: sx when None).")
        .def(
            "reformat",
            [](const Tracks &t, const py::object &w, const py::object &h) {
                return operated(t, "reformat",
                                intText(w, "width") + QLatin1Char('x') + intText(h, "height"));
            },
            py::arg("width"), py::arg("height"),
            "Points and plate taken to a new resolution, each axis by its own factor.")
        .def(
            "flip", [](const Tracks &t) { return operated(t, "flip", QString()); },
            "The points mirrored left-right within the plate.")
        .def(
            "flop", [](const Tracks &t) { return operated(t, "flop", QString()); },
            "The points mirrored top-bottom within the plate.")
        .def(
            "crop",
            [](const Tracks &t, const py::object &l, const py::object &r, const py::object &top,
               const py::object &b) {
                return operated(t, "crop",
                                intText(l, "left") + QLatin1Char(',') + intText(r, "right") +
                                    QLatin1Char(',') + intText(top, "top") + QLatin1Char(',') +
                                    intText(b, "bottom"));
            },
            py::arg("left"), py::arg("right"), py::arg("top"), py::arg("bottom"),
            "Pixels removed from the plate's sides (negative adds); points keep their place.")
        .def(
            "pad",
            [](const Tracks &t, const py::object &l, const py::object &r, const py::object &top,
               const py::object &b) {
                return operated(
                    t, "pad",
                    numbersText({{l, "left"}, {r, "right"}, {top, "top"}, {b, "bottom"}}));
            },
            py::arg("left"), py::arg("right"), py::arg("top"), py::arg("bottom"),
            "Fractions of the plate added to its sides (the nearest whole pixels).")
        .def(
            "min_keys",
            [](const Tracks &t, const py::object &n) {
                return operated(t, "min-keys", intText(n, "keys"));
            },
            py::arg("keys"), "The tracks of fewer keys removed.")
        .def(
            "fill_gaps",
            [](const Tracks &t, const py::object &longest) {
                return operated(t, "fill-gaps",
                                longest.is_none() ? QString() : intText(longest, "longest"));
            },
            py::arg("longest") = py::none(),
            "Each missing frame inside a track keyed on a straight line between the keys around "
            "it; longest: fill only gaps of up to that many missing frames.")
        .def(
            "lens_distort",
            [](const Tracks &t, const py::object &k, const py::object &kCube) {
                return operated(t, "lens-distort", numbersText({{k, "k"}, {kCube, "k_cube"}}));
            },
            py::arg("k"), py::arg("k_cube") = py::float_(0.0),
            "The SynthEyes radial lens distortion added.")
        .def(
            "lens_undistort",
            [](const Tracks &t, const py::object &k, const py::object &kCube) {
                return operated(t, "lens-undistort", numbersText({{k, "k"}, {kCube, "k_cube"}}));
            },
            py::arg("k"), py::arg("k_cube") = py::float_(0.0),
            "The SynthEyes radial lens distortion removed (solved exactly).")
        .def_property_readonly(
            "operations", [](const Tracks &t) { return t.operations; },
            "What each track operation on the way to these tracks did, in order.");
}

std::string reprOf(const Tracks &t)
{
    const auto p = t.plate();
    return text(
        QStringLiteral("<corvane.Tracks: %1 tracks, %2 rows%3%4>")
            .arg(t.list().size())
            .arg(t.table->rowCount())
            .arg(p ? QStringLiteral(", plate %1x%2").arg(p->first).arg(p->second) : QString())
            .arg(t.convertedFor
                     ? QStringLiteral(", converted for %1").arg(QLatin1String(t.convertedFor->id))
                     : QString()));
}

// The tracks with a table of their own.
Tracks copyOf(const Tracks &t)
{
    Tracks out;
    *out.table = t.table->clone();
    out.settings = t.settings;
    out.notes = t.notes;
    out.operations = t.operations;
    out.format = t.format;
    out.convertedFor = t.convertedFor;
    return out;
}

Track ownedTrack(const std::shared_ptr<Tracks> &tracks, size_t index)
{
    Track track = tracks->list()[index].track;
    track.owner = tracks;
    return track;
}

// A track index (negative from the end), checked.
size_t trackIndex(const Tracks &t, const py::handle &key)
{
    const long long size = (long long)(t.list().size());
    long long i = 0;
    try {
        i = py::int_(py::reinterpret_borrow<py::object>(key)).cast<long long>();
    } catch (const py::cast_error &) {
        throw py::index_error("track index out of range");
    }
    if (i < 0) i += size;
    if (i < 0 || i >= size) throw py::index_error("track index out of range");
    return size_t(i);
}

bool isIndex(const py::handle &key)
{
    return !py::isinstance<py::str>(key) && !py::isinstance<py::float_>(key) &&
           PyIndex_Check(key.ptr());
}

// The tracks a key names: an index, a name (every track of it) or a slice.
std::vector<size_t> tracksOfKey(const Tracks &t, const py::handle &key)
{
    const auto &list = t.list();
    std::vector<size_t> out;
    if (py::isinstance<py::slice>(key)) {
        py::ssize_t start = 0, stop = 0, step = 0, length = 0;
        if (!py::reinterpret_borrow<py::slice>(key).compute(py::ssize_t(list.size()), &start, &stop,
                                                            &step, &length))
            throw py::error_already_set();
        for (py::ssize_t k = 0; k < length; ++k)
            out.push_back(size_t(start + k * step));
        return out;
    }
    if (isIndex(key)) return {trackIndex(t, key)};
    if (!py::isinstance<py::str>(key))
        wrongType("key", "a track's index (int), name (str) or a slice", key);
    const std::string name = textArg(key, "key");
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].track.name == name) out.push_back(i);
    if (out.empty()) throw py::key_error(name);
    return out;
}

// The tracks with only the chosen ones, in the order chosen.
Tracks chosenTracks(const Tracks &t, const std::vector<size_t> &chosen)
{
    Tracks out = copyOf(t);
    const auto &list = t.list();
    std::vector<bool> taken(list.size(), false);
    std::vector<int> order;
    order.reserve(size_t(t.table->rowCount()));
    auto take = [&](size_t i) {
        for (int r = 0; r < t.rowsOf(i); ++r)
            order.push_back(list[i].firstRow + r);
    };
    for (size_t i : chosen) {
        if (taken[i]) continue;
        taken[i] = true;
        take(i);
    }
    const int kept = int(order.size());
    for (size_t i = 0; i < list.size(); ++i)
        if (!taken[i]) take(i);
    out.table->permuteRows(order);
    if (kept < out.table->rowCount()) out.table->removeRows(kept, out.table->rowCount() - kept);
    out.table->touched();
    return out;
}

void deleteTracks(Tracks &t, const py::handle &key)
{
    std::vector<size_t> chosen = tracksOfKey(t, key);
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    for (auto i = chosen.rbegin(); i != chosen.rend(); ++i)
        t.table->removeRows(t.list()[*i].firstRow, t.rowsOf(*i));
    t.table->touched();
    t.edited();
}

// The track's rows after the others, its values taken as the tracks' own
// (those of the format converted for, once converted).
void appendTrack(Tracks &t, const Track &track)
{
    if (t.find(track.name) >= 0)
        throw py::value_error(text(
            QStringLiteral("append(): the tracks hold a track named \"%1\" already; rename one")
                .arg(qtext(track.name))));
    TrackSet set;
    appendTrackRows(set, track);
    const Format *format = t.valuesFormat();
    const bool first = t.table->rowCount() == 0;
    fillImport(*t.table, set, first ? ImportMode::NewList : ImportMode::Append,
               format ? QLatin1String(format->importFilter) : QString());
    t.table->touched();
    t.edited();
}

// The track of the key (an index or a name) replaced by another, in its place.
void replaceTrack(Tracks &t, const py::handle &key, const Track &track)
{
    if (py::isinstance<py::slice>(key))
        throw py::type_error("key: tracks are replaced one at a time (an index or a name), not "
                             "by a slice");
    const size_t i = tracksOfKey(t, key).front();
    const long long other = t.find(track.name);
    if (other >= 0 && size_t(other) != i)
        throw py::value_error(
            text(QStringLiteral("the tracks hold another track named \"%1\" already")
                     .arg(qtext(track.name))));
    const int first = t.list()[i].firstRow, count = t.rowsOf(i);
    TrackSet set;
    appendTrackRows(set, track);
    const Format *format = t.valuesFormat();
    fillImport(*t.table, set, ImportMode::Append,
               format ? QLatin1String(format->importFilter) : QString());
    // The new rows where the old ones stood, and the old ones last, to go.
    const int total = t.table->rowCount(), added = set.count;
    std::vector<int> order;
    order.reserve(size_t(total));
    for (int r = 0; r < first; ++r)
        order.push_back(r);
    for (int r = total - added; r < total; ++r)
        order.push_back(r);
    for (int r = first + count; r < total - added; ++r)
        order.push_back(r);
    for (int r = first; r < first + count; ++r)
        order.push_back(r);
    t.table->permuteRows(order);
    t.table->removeRows(total - count, count);
    t.table->touched();
    t.edited();
}

// A track's new name, in the tracks it belongs to as well.
void renameTrack(Track &track, const py::object &value)
{
    const std::string name = trackNameArg(value);
    if (name == track.name) return;
    if (const std::shared_ptr<Tracks> owner = track.owner.lock()) {
        if (owner->find(name) >= 0)
            throw py::value_error(
                text(QStringLiteral("name: the tracks hold a track named \"%1\" already")
                         .arg(qtext(name))));
        const auto &list = owner->list();
        bool renamed = false;
        const quint32 id = owner->table->internName(qtext(name));
        for (size_t i = 0; i < list.size(); ++i) {
            if (list[i].track.name != track.name) continue;
            for (int r = 0; r < owner->rowsOf(i); ++r)
                owner->table->setRowNameId(list[i].firstRow + r, id);
            renamed = true;
        }
        if (renamed) {
            owner->table->touched();
            owner->edited();
        } else {
            track.owner.reset(); // no longer in them
        }
    }
    track.name = name;
}

bool sameTracks(const Tracks &a, const Tracks &b)
{
    const auto &la = a.list(), &lb = b.list();
    if (la.size() != lb.size() || a.plate() != b.plate()) return false;
    for (size_t i = 0; i < la.size(); ++i)
        if (!sameTrack(la[i].track, lb[i].track)) return false;
    return true;
}

std::string formatId(const Format *format)
{
    return format ? std::string(format->id) : std::string();
}

// What pickle keeps of tracks: their tracks, plate, formats, first frame,
// notes and operations.
py::tuple tracksState(const Tracks &t)
{
    py::list tracks;
    for (const TableTrack &entry : t.list()) {
        const TrackRows &rows = *entry.track.rows;
        tracks.append(py::make_tuple(entry.track.name, py::cast(rows.frames), py::cast(rows.x),
                                     py::cast(rows.y)));
    }
    return py::make_tuple(1, tracks, t.plate(), formatId(t.format), formatId(t.convertedFor),
                          text(t.settings.importFirst), t.notes, t.operations);
}

Tracks tracksFromState(const py::tuple &state)
{
    if (state.size() != 8 || state[0].cast<int>() != 1)
        throw py::value_error("not the state of corvane.Tracks");
    TrackSet set;
    for (const py::handle &item : state[1]) {
        const auto track = py::reinterpret_borrow<py::tuple>(item);
        appendTrackRows(set, makeTrack(track[0], track[1], track[2], track[3]));
    }
    const auto plate = state[2].cast<std::optional<std::pair<int, int>>>();
    if (plate) {
        set.plateWidth = plate->first;
        set.plateHeight = plate->second;
    }
    set.firstFrame = qtext(state[5].cast<std::string>());
    const auto formatOf = [](const py::handle &id) -> const Format * {
        const std::string s = id.cast<std::string>();
        return s.empty() ? nullptr : &formatNamed(s);
    };
    const Format *format = formatOf(state[3]);
    const Format *convertedFor = formatOf(state[4]);
    const Format *values = convertedFor ? convertedFor : format;
    Tracks t = fromSet(set, values ? *values : formats().front());
    t.format = format;
    t.convertedFor = convertedFor;
    t.notes = state[6].cast<std::vector<std::string>>();
    t.operations = state[7].cast<std::vector<std::string>>();
    return t;
}

} // namespace

PYBIND11_MODULE(_corvane, m)
{
    m.doc() = "Corvane: read, convert and write the 2D tracks and roto shapes of camera "
              "trackers and compositors.";
    m.attr("__version__") = CORVANE_VERSION;

    readErrorType = PyErr_NewExceptionWithDoc(
        "corvane.ReadError",
        "A file could not be read as tracks (file and line say where, kind what went wrong).",
        PyExc_ValueError, nullptr);
    if (!readErrorType) throw py::error_already_set();
    const py::tuple notFoundBases =
        py::make_tuple(py::reinterpret_borrow<py::object>(PyExc_FileNotFoundError),
                       py::reinterpret_borrow<py::object>(readErrorType));
    notFoundErrorType = PyErr_NewExceptionWithDoc(
        "corvane.MissingFileError",
        "The file is not there: a ReadError and a FileNotFoundError (an OSError).",
        notFoundBases.ptr(), nullptr);
    saveErrorType = PyErr_NewExceptionWithDoc("corvane.SaveError",
                                              "Tracks could not be written; no file was changed.",
                                              PyExc_Exception, nullptr);
    settingsErrorType = PyErr_NewExceptionWithDoc(
        "corvane.SettingsError",
        "The settings do not allow the conversion (the plate unknown, a value out of range).",
        PyExc_ValueError, nullptr);
    if (!notFoundErrorType || !saveErrorType || !settingsErrorType) throw py::error_already_set();
    m.attr("ReadError") = py::reinterpret_borrow<py::object>(readErrorType);
    m.attr("SaveError") = py::reinterpret_borrow<py::object>(saveErrorType);
    m.attr("MissingFileError") = py::reinterpret_borrow<py::object>(notFoundErrorType);
    m.attr("SettingsError") = py::reinterpret_borrow<py::object>(settingsErrorType);

    py::class_<PyFormat>(m, "Format", "A file format Corvane knows.")
        .def_property_readonly("id", [](const PyFormat &f) { return std::string(f.format->id); })
        .def_property_readonly("name",
                               [](const PyFormat &f) { return std::string(f.format->name); })
        .def_property_readonly("extensions",
                               [](const PyFormat &f) { return texts(f.format->extensions()); })
        .def_property_readonly("shapes", [](const PyFormat &f) { return f.format->shapes; })
        .def_property_readonly("per_track", [](const PyFormat &f) { return f.format->perTrack(); })
        .def_property_readonly("reads", [](const PyFormat &f) { return f.format->read != nullptr; })
        .def_property_readonly("writes",
                               [](const PyFormat &f) { return f.format->writer != nullptr; })
        .def("__repr__", [](const PyFormat &f) {
            return "<corvane.Format " + std::string(f.format->id) + ": " + f.format->name + ">";
        });

    py::class_<Track>(m, "Track",
                      "One track: its name and its rows' frames and coordinates (read-only "
                      "NumPy arrays). A track taken from Tracks renames in them.")
        .def(py::init(&makeTrack), py::arg("name"), py::arg("frames"), py::arg("x"), py::arg("y"),
             "A track of its own, from sequences or arrays of equal length.")
        .def_property(
            "name", [](const Track &t) { return t.name; }, &renameTrack)
        .def_property_readonly("frames",
                               [](const Track &t) { return view(t.rows, t.rows->frames); })
        .def_property_readonly("x", [](const Track &t) { return view(t.rows, t.rows->x); })
        .def_property_readonly("y", [](const Track &t) { return view(t.rows, t.rows->y); })
        .def("__len__", [](const Track &t) { return t.rows->frames.size(); })
        .def(
            "__eq__",
            [](const Track &a, const py::object &b) {
                return py::isinstance<Track>(b) && sameTrack(a, b.cast<const Track &>());
            },
            py::is_operator())
        .def("__copy__",
             [](const Track &t) {
                 return Track{t.name, t.rows, {}};
             })
        .def("__deepcopy__",
             [](const Track &t, const py::object &) {
                 return Track{t.name, t.rows, {}};
             })
        .def(py::pickle(
            [](const Track &t) {
                return py::make_tuple(t.name, py::cast(t.rows->frames), py::cast(t.rows->x),
                                      py::cast(t.rows->y));
            },
            [](const py::tuple &state) {
                if (state.size() != 4) throw py::value_error("not the state of corvane.Track");
                return makeTrack(state[0], state[1], state[2], state[3]);
            }))
        .def("__repr__", [](const Track &t) {
            return text(QStringLiteral("<corvane.Track %1: %2 rows>")
                            .arg(qtext(t.name))
                            .arg(t.rows->frames.size()));
        });

    TracksClass tracksClass(m, "Tracks",
                            "The tracks of a file or of rows, as Corvane's table holds "
                            "them.");
    defineOperations(tracksClass);
    tracksClass
        .def(py::init(&fromRows), py::arg("tracks") = py::tuple(), py::arg("plate") = py::none(),
             py::arg("format") = py::str("3de4"),
             "Tracks of corvane.Track objects (or (name, frame, x, y) rows), the values as the "
             "format holds them.")
        .def_static("from_rows", &fromRows, py::arg("rows"), py::arg("plate") = py::none(),
                    py::arg("format") = py::str("3de4"),
                    "Tracks from (name, frame, x, y) rows, the values as the format holds them.")
        .def_property_readonly("plate", &Tracks::plate, "(width, height), or None when unknown.")
        .def_property_readonly(
            "first_frame",
            [](const Tracks &t) -> std::optional<int> {
                bool ok = false;
                const int first = t.settings.importFirst.toInt(&ok);
                return ok ? std::optional<int>(first) : std::nullopt;
            },
            "The frame the file's frames count from.")
        .def_property_readonly("notes", [](const Tracks &t) { return t.notes; })
        .def_property_readonly("rows", [](const Tracks &t) { return t.table->rowCount(); })
        .def_property_readonly("converted_for",
                               [](const Tracks &t) -> std::optional<std::string> {
                                   if (!t.convertedFor) return std::nullopt;
                                   return std::string(t.convertedFor->id);
                               })
        .def_property_readonly(
            "format",
            [](const Tracks &t) -> std::optional<std::string> {
                if (!t.format) return std::nullopt;
                return std::string(t.format->id);
            },
            "The id of the format the tracks were read as (or made for by from_rows).")
        .def("__len__", [](const Tracks &t) { return t.list().size(); })
        .def("__iter__",
             [](const std::shared_ptr<Tracks> &t) {
                 py::list all;
                 for (size_t i = 0; i < t->list().size(); ++i)
                     all.append(ownedTrack(t, i));
                 return py::iter(all);
             })
        .def("__getitem__",
             [](const std::shared_ptr<Tracks> &t, const py::object &key) -> py::object {
                 if (py::isinstance<py::slice>(key))
                     return py::cast(chosenTracks(*t, tracksOfKey(*t, key)));
                 return py::cast(ownedTrack(t, tracksOfKey(*t, key).front()));
             })
        .def("__delitem__", &deleteTracks)
        .def("__setitem__",
             [](Tracks &t, const py::object &key, const py::object &track) {
                 if (!py::isinstance<Track>(track)) wrongType("track", "a corvane.Track", track);
                 replaceTrack(t, key, track.cast<const Track &>());
             })
        .def("__contains__",
             [](const Tracks &t, const py::object &key) {
                 if (py::isinstance<py::str>(key)) return t.find(textArg(key, "key")) >= 0;
                 if (!py::isinstance<Track>(key)) return false;
                 const Track &track = key.cast<const Track &>();
                 for (const TableTrack &entry : t.list())
                     if (sameTrack(entry.track, track)) return true;
                 return false;
             })
        .def(
            "append",
            [](Tracks &t, const py::object &track) {
                if (!py::isinstance<Track>(track)) wrongType("track", "a corvane.Track", track);
                appendTrack(t, track.cast<const Track &>());
            },
            py::arg("track"), "Adds a track after the others (its name not yet taken).")
        .def(
            "__eq__",
            [](const Tracks &a, const py::object &b) {
                return py::isinstance<Tracks>(b) && sameTracks(a, b.cast<const Tracks &>());
            },
            py::is_operator())
        .def("__copy__", [](const Tracks &t) { return copyOf(t); })
        .def("__deepcopy__", [](const Tracks &t, const py::object &) { return copyOf(t); })
        .def(py::pickle(&tracksState, &tracksFromState))
        .def("__repr__", &reprOf);

    py::class_<SaveReport>(m, "SaveReport", "What a write wrote.")
        .def_readonly("written", &SaveReport::written)
        .def_readonly("notes", &SaveReport::notes)
        .def_readonly("renamed", &SaveReport::renamed)
        .def_readonly("rows", &SaveReport::rows)
        .def_readonly("tracks", &SaveReport::tracks)
        .def("__repr__", [](const SaveReport &r) {
            return text(QStringLiteral("<corvane.SaveReport: %1 rows to %2>")
                            .arg(r.rows)
                            .arg(r.written.empty() ? QString() : qtext(r.written.front())));
        });

    m.def(
        "formats",
        [] {
            std::vector<PyFormat> list;
            for (const Format &f : formats())
                list.push_back({&f});
            return list;
        },
        "Every format Corvane knows, in its menus' order.");
    m.def("detect", &detect, py::arg("path"),
          "The ids of the formats the file's content fits, the one to read it as first.");
    m.def("read", &readTracks, py::arg("path"), py::arg("format") = py::none(),
          py::arg("strict") = py::bool_(false), py::arg("camera") = py::str("all"),
          "Reads a file (its format detected when not given). strict: raise ReadError when the "
          "reading leaves something out or changes it. camera: a stereo shot's \"primary\", "
          "\"secondary\" or \"all\" (the secondary's tracks are NAME_Secondary).");
    m.def("convert", &convertArgs, py::arg("tracks"), py::arg("to"), py::arg("plate") = py::none(),
          py::arg("preset") = py::str("default"), py::arg("par") = py::float_(1.0),
          py::arg("first_frame") = py::none(), py::arg("conventions") = py::str("program"),
          "The tracks converted for a target format, as the window's Apply converts them.");
    m.def("convert_files", &convertFiles, py::arg("paths"), py::arg("to"),
          py::arg("output") = py::none(), py::arg("plate") = py::none(),
          py::arg("preset") = py::str("default"), py::arg("par") = py::float_(1.0),
          py::arg("first_frame") = py::none(), py::arg("conventions") = py::str("program"),
          py::arg("jobs") = py::none(),
          "Converts files as corvane-convert does, each on its own, jobs at once (default: "
          "the cores), all read and converted before any is written; output: the folder (or, "
          "for one file, the file) to write to. Returns the files written.");
    m.def("write", &writeTracks, py::arg("tracks"), py::arg("path"), py::arg("format") = py::none(),
          py::arg("force") = py::bool_(false), py::arg("corners") = py::none(),
          "Writes the tracks (converted for the format first when they are not). force: replace "
          "write-protected files of other users. corners: a corner pin's four tracks (upper "
          "left, upper right, lower left, lower right).");
}
