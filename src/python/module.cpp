// SPDX-License-Identifier: Apache-2.0
// The Python module `corvane`: the converter's road (read, convert, write)
// for pipelines, over the same core functions as the window and
// corvane-convert. The core's work runs without the GIL.
#include "cli/converter.h"
#include "export/exporter.h"
#include "formats/registry.h"
#include "formats/writecontext.h"
#include "import/detect.h"
#include "import/importer.h"
#include "settings/platesettings.h"
#include "table/tracktable.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

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
[[noreturn]] void raise(PyObject *typeObject, const QString &message, const QString &file, int line)
{
    const auto type = py::reinterpret_borrow<py::object>(typeObject);
    py::object error = type(text(message));
    error.attr("file") = file.isEmpty() ? py::object(py::none()) : py::str(text(file));
    error.attr("line") = line > 0 ? py::object(py::int_(line)) : py::object(py::none());
    PyErr_SetObject(typeObject, error.ptr());
    throw py::error_already_set();
}

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

Tracks fromSet(const TrackSet &set, const Format &format)
{
    Tracks tracks;
    const QString filter = QLatin1String(format.importFilter);
    fillImport(*tracks.table, set, ImportMode::NewList, filter);
    takeOverImport(tracks.settings, set, ImportMode::NewList, filter);
    return tracks;
}

Tracks readTracks(const std::string &path, const std::optional<std::string> &formatId, bool strict,
                  const std::string &cameraName)
{
    const Format *from = formatId ? &formatNamed(*formatId) : nullptr;
    const std::optional<Camera> camera = parseCamera(qtext(cameraName));
    if (!camera) throw py::value_error("camera: not \"primary\", \"secondary\" or \"all\"");
    const QString file = qtext(path);
    Tracks tracks;
    Outcome outcome;
    ImportResult result;
    {
        py::gil_scoped_release unlocked;
        const Format *format = inputFormat(file, from, outcome);
        if (format)
            result = importFile(*tracks.table, tracks.settings, file, *format, ImportMode::NewList,
                                *camera);
    }
    if (!outcome.message.isEmpty())
        raise(readErrorType, outcome.message, outcome.errorFile, outcome.errorLine);
    if (!result.ok()) raise(readErrorType, result.error, file, result.line);
    if (strict && result.leftOut.any())
        raise(readErrorType, strictMessage(result.leftOut, "strict=True"), file,
              result.leftOut.firstLine);
    tracks.notes = texts(outcome.notes + result.notes);
    return tracks;
}

std::vector<std::string> detect(const std::string &path)
{
    Detection detection;
    {
        py::gil_scoped_release unlocked;
        detection = detectFormat(qtext(path));
    }
    if (!detection.error.isEmpty()) raise(readErrorType, detection.error, qtext(path), 0);
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
    if (!(par > 0)) throw py::value_error("the pixel aspect ratio is positive");
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
    {
        py::gil_scoped_release unlocked;
        *out.table = source.table->clone();
        ok = applyConvertOptions(*out.table, out.settings, options, outcome, conventionNotes);
        if (ok) {
            const Validation validation = validateForExport(*out.table);
            if (!validation.ok()) {
                outcome.message = validation.error;
                ok = false;
            }
        }
    }
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

SaveReport writeTracks(const Tracks &tracks, const std::string &path,
                       const std::optional<std::string> &formatId)
{
    const Format *format = formatId ? &formatNamed(*formatId) : tracks.convertedFor;
    if (!format)
        throw py::value_error("give the format to write, or convert the tracks for one first");
    // Tracks not converted for this format are converted with what they hold.
    const Tracks converted = tracks.convertedFor == format
                                 ? tracks
                                 : convertTracks(tracks, format->id, tracks.plate(), "default", 1.0,
                                                 std::nullopt, "program");
    ExportResult result;
    {
        py::gil_scoped_release unlocked;
        ExportParams params =
            exportParams(converted.settings, QLatin1String(format->treeExportFilter), qtext(path));
        result = exportTable(*converted.table, params);
    }
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

Tracks fromRows(const py::iterable &rows, std::optional<std::pair<int, int>> plate,
                const std::string &formatId)
{
    const Format &format = formatNamed(formatId);
    TrackSet set;
    int index = 0;
    for (const py::handle &item : rows) {
        const auto row = item.cast<py::sequence>();
        if (row.size() != 4)
            throw py::value_error(
                text(QStringLiteral("row %1 is not (name, frame, x, y)").arg(index + 1)));
        const auto name = row[0].cast<std::string>();
        if (name.empty())
            throw py::value_error(text(QStringLiteral("row %1 has no name").arg(index + 1)));
        set.append(qtext(name), row[1].cast<int>(), row[2].cast<double>(), row[3].cast<double>());
        ++index;
    }
    if (plate) {
        if (plate->first <= 0 || plate->second <= 0)
            throw py::value_error("the plate's width and height are positive");
        set.plateWidth = plate->first;
        set.plateHeight = plate->second;
    }
    py::gil_scoped_release unlocked;
    return fromSet(set, format);
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

    py::class_<Tracks>(m, "Tracks",
                       "The tracks of a file or of rows, as Corvane's table holds them.")
        .def_static("from_rows", &fromRows, py::arg("rows"), py::arg("plate") = py::none(),
                    py::arg("format") = "3de4",
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
                     long i = key.cast<long>();
                     if (i < 0) i += long(list.size());
                     if (i < 0 || i >= long(list.size())) throw py::index_error();
                     return list[size_t(i)];
                 }
                 const auto name = key.cast<std::string>();
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
          py::arg("strict") = false, py::arg("camera") = "all",
          "Reads a file (its format detected when not given). strict: raise ReadError when the "
          "reading leaves something out or changes it. camera: a stereo shot's \"primary\", "
          "\"secondary\" or \"all\" (the secondary's tracks are NAME_Secondary).");
    m.def("convert", &convertTracks, py::arg("tracks"), py::arg("to"),
          py::arg("plate") = py::none(), py::arg("preset") = "default", py::arg("par") = 1.0,
          py::arg("first_frame") = py::none(), py::arg("conventions") = "program",
          "The tracks converted for a target format, as the window's Apply converts them.");
    m.def("write", &writeTracks, py::arg("tracks"), py::arg("path"), py::arg("format") = py::none(),
          "Writes the tracks (converted for the format first when they are not).");
}
