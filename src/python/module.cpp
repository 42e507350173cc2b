// SPDX-License-Identifier: Apache-2.0
// The Python module `corvane`: the converter's road (read, convert, write)
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
#include "import/importer.h"
#include "settings/platesettings.h"
#include "settings/trackoperations.h"
#include "table/tracktable.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <QFile>

#include <algorithm>
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
PyObject *saveErrorType = nullptr;

// Raises type(message) with the file and line the core named.
// named: the error is about that file, even an empty path.
[[noreturn]] void raise(PyObject *typeObject, const QString &message, const QString &file, int line,
                        bool named = false)
{
    const auto type = py::reinterpret_borrow<py::object>(typeObject);
    py::object error = type(text(message));
    error.attr("file") = file.isEmpty() && !named ? py::object(py::none()) : py::str(text(file));
    error.attr("line") = line > 0 ? py::object(py::int_(line)) : py::object(py::none());
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

// One track: its rows' frames and coordinates, copied out of the table.
struct Track
{
    std::string name;
    std::vector<int> frames;
    std::vector<double> x, y;
};

// A table with the settings it was read or made with, and the target it was
// converted for (none before a conversion).
struct Tracks
{
    std::shared_ptr<TrackTable> table = std::make_shared<TrackTable>();
    PlateSettings settings;
    std::vector<std::string> notes;
    std::vector<std::string> operations; // what each track operation did, in order
    const Format *convertedFor = nullptr;
    mutable std::optional<std::vector<Track>> tracks; // made when first asked for

    const std::vector<Track> &list() const
    {
        if (tracks) return *tracks;
        std::vector<Track> out;
        const TrackTable &t = *table;
        QString current; // the name of out.back(), as the table holds it
        for (int r = 0; r < t.rowCount(); ++r) {
            const ExportRow row(&t, r);
            if (out.empty() || row.name != current) {
                current = row.name;
                out.push_back({text(row.name), {}, {}, {}});
            }
            out.back().frames.push_back(row.frame);
            out.back().x.push_back(row.x());
            out.back().y.push_back(row.y());
        }
        tracks = std::move(out);
        return *tracks;
    }
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
        const Format *format = inputFormat(file, from, outcome);
        if (format)
            result = importFile(*tracks.table, tracks.settings, file, *format, ImportMode::NewList,
                                *camera);
    });
    if (!outcome.message.isEmpty())
        raise(readErrorType, outcome.message,
              outcome.errorFile.isEmpty() ? file : outcome.errorFile, outcome.errorLine, true);
    if (!result.ok()) raise(readErrorType, result.error, file, result.line, true);
    if (strict && result.leftOut.any())
        raise(readErrorType, strictMessage(result.leftOut, "strict=True"), file,
              result.leftOut.firstLine, true);
    tracks.notes = texts(outcome.notes + result.notes);
    return tracks;
}

std::vector<std::string> detect(const py::object &pathValue)
{
    const QString path = qtext(pathArg(pathValue, "path"));
    const Detection detection = interruptible([&] { return detectFormat(path); });
    if (!detection.error.isEmpty()) raise(readErrorType, detection.error, path, 0, true);
    std::vector<std::string> ids;
    if (detection.format) ids.push_back(detection.format->id);
    for (const Format *f : detection.candidates)
        if (f != detection.format) ids.push_back(f->id);
    return ids;
}

Tracks convertTracks(const Tracks &source, const std::string &to,
                     std::optional<std::pair<int, int>> plate, const std::string &preset,
                     double par, std::optional<int> firstFrame, const std::string &conventions)
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

    Tracks out;
    out.settings = source.settings;
    out.notes = source.notes;
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
    if (!ok) throw py::value_error(text(outcome.message));
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
              qtext(path), 0);
    if (!result.ok()) raise(saveErrorType, result.error, qtext(path), 0);
    SaveReport report;
    report.written = texts(result.written);
    report.notes = texts(result.notes);
    for (const RenamedTrack &r : result.renamed)
        report.renamed.emplace_back(text(r.from), text(r.to));
    report.rows = result.rows;
    report.tracks = result.tracks;
    return report;
}

// One (name, frame, x, y) row of from_rows into the set; number counts from 1.
void appendRow(TrackSet &set, const py::handle &item, int number)
{
    const std::string what = "rows: row " + std::to_string(number);
    if (!py::isinstance<py::sequence>(item) || py::isinstance<py::str>(item) ||
        py::isinstance<py::bytes>(item))
        wrongType(what, "a (name, frame, x, y) tuple", item);
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
        throw py::value_error(text(message));
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

void defineOperations(py::class_<Tracks> &c)
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

} // namespace

PYBIND11_MODULE(corvane, m)
{
    m.doc() = "Corvane: read, convert and write the 2D tracks and roto shapes of camera "
              "trackers and compositors.";
    m.attr("__version__") = CORVANE_VERSION;

    readErrorType = PyErr_NewExceptionWithDoc(
        "corvane.ReadError", "A file could not be read as tracks (file and line say where).",
        PyExc_Exception, nullptr);
    saveErrorType = PyErr_NewExceptionWithDoc("corvane.SaveError",
                                              "Tracks could not be written; no file was changed.",
                                              PyExc_Exception, nullptr);
    if (!readErrorType || !saveErrorType) throw py::error_already_set();
    m.attr("ReadError") = py::reinterpret_borrow<py::object>(readErrorType);
    m.attr("SaveError") = py::reinterpret_borrow<py::object>(saveErrorType);

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

    py::class_<Track>(m, "Track", "One track: its name and its rows' frames and coordinates.")
        .def_readonly("name", &Track::name)
        .def_readonly("frames", &Track::frames)
        .def_readonly("x", &Track::x)
        .def_readonly("y", &Track::y)
        .def("__len__", [](const Track &t) { return t.frames.size(); })
        .def("__repr__", [](const Track &t) {
            return text(QStringLiteral("<corvane.Track %1: %2 rows>")
                            .arg(qtext(t.name))
                            .arg(t.frames.size()));
        });

    py::class_<Tracks> tracksClass(m, "Tracks",
                                   "The tracks of a file or of rows, as Corvane's table holds "
                                   "them.");
    defineOperations(tracksClass);
    tracksClass
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
        .def("__len__", [](const Tracks &t) { return t.list().size(); })
        .def(
            "__iter__",
            [](const Tracks &t) { return py::make_iterator(t.list().begin(), t.list().end()); },
            py::keep_alive<0, 1>())
        .def("__getitem__",
             [](const Tracks &t, const py::object &key) -> Track {
                 const auto &list = t.list();
                 if (py::isinstance<py::int_>(key)) {
                     const auto i = key.cast<long long>() +
                                    (key.cast<long long>() < 0 ? (long long)(list.size()) : 0);
                     if (i < 0 || i >= (long long)(list.size()))
                         throw py::index_error("track index out of range");
                     return list[size_t(i)];
                 }
                 if (!py::isinstance<py::str>(key))
                     wrongType("key", "a track's index (int) or name (str)", key);
                 const std::string name = textArg(key, "key");
                 for (const Track &track : list)
                     if (track.name == name) return track;
                 throw py::key_error(name);
             })
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
    m.def("write", &writeTracks, py::arg("tracks"), py::arg("path"), py::arg("format") = py::none(),
          py::arg("force") = py::bool_(false), py::arg("corners") = py::none(),
          "Writes the tracks (converted for the format first when they are not). force: replace "
          "write-protected files of other users. corners: a corner pin's four tracks (upper "
          "left, upper right, lower left, lower right).");
}
