// Start-up benchmark: the real program, started with /NOSPLASH as a user
// starts it, timed from the process start until its main window is mapped and
// painted in an X server of our own (Xvfb). An xcb client sees the window
// mapped through SubstructureNotify on the root window and its drawing
// through the DAMAGE extension; the window counts as painted at the first
// drawing after which it holds more than a background.
//
//   bench_startup [rides] [launches]     (default 1,000,000 and 20)
//
// The launches of one run differ by several milliseconds on a shared
// machine: more of them (100 or 200) tell a change of a few per cent.
//
// Measured on the empty database an installation starts with and on one of
// `rides` rides, each against startup_baseline, an empty Qt main window
// started and watched the same way, and against startup_widgets, the main
// window's own widgets built from the same form with nothing of the program,
// the three launched in turn so that all see the same load. The program's
// window against its widgets alone is what the program adds to what Qt takes
// to show this window: settings, database, icons, calendar and month. A
// missed goal is reported, not failed: the exit code is 0 whenever the
// measurement could be made.

#include "Version.h"
#include "bench/BenchSupport.h"
#include "util/Application.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

constexpr int DefaultLaunches = 20;
constexpr double GoalMs = 300.0;
constexpr double WidgetsRatioGoal = 1.1;
// The program's window has widgets, text and icons; the baseline's is all
// background, a single colour.
constexpr size_t ProgramColours = 8;
constexpr size_t BaselineColours = 1;
constexpr int TimeoutMs = 30000;

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> Owned(T* reply)
{
    return Reply<T>(reply, &std::free);
}

// An Xvfb of our own on a free display, with a black root window so that
// nothing on screen passes for a painted window.
class XServer
{
public:
    XServer()
    {
        // Its messages are not read: a full pipe would stall the server.
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(QStringLiteral("Xvfb"),
                        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                         QStringLiteral("-br"), QStringLiteral("-screen"), QStringLiteral("0"),
                         QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!m_process.waitForStarted())
            throw std::runtime_error("cannot start Xvfb (installed by scripts/install-deps.sh)");
        QElapsedTimer clock;
        clock.start();
        while (!m_process.canReadLine() && clock.elapsed() < TimeoutMs)
            m_process.waitForReadyRead(100);
        m_display = u':' + QString::fromUtf8(m_process.readLine()).trimmed();
        if (m_display.size() < 2)
            throw std::runtime_error("Xvfb named no display");
    }
    ~XServer()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(TimeoutMs)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    QString Display() const { return m_display; }

private:
    QProcess m_process;
    QString m_display;
};

// Watches the top-level windows of an X server: which is mapped under a given
// name, and when it is drawn on.
class WindowWatcher
{
public:
    explicit WindowWatcher(const QString& display)
        : m_connection(xcb_connect(display.toUtf8().constData(), nullptr))
    {
        if (xcb_connection_has_error(m_connection))
            throw std::runtime_error("cannot connect to the X server");
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const xcb_query_extension_reply_t* damage = xcb_get_extension_data(m_connection, &xcb_damage_id);
        if (!damage || !damage->present)
            throw std::runtime_error("the X server has no DAMAGE extension");
        m_damageNotify = damage->first_event + XCB_DAMAGE_NOTIFY;
        Owned(xcb_damage_query_version_reply(m_connection, xcb_damage_query_version(m_connection, 1, 1), nullptr));
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        m_netWmName = Atom("_NET_WM_NAME");
        Sync();
    }
    ~WindowWatcher() { xcb_disconnect(m_connection); }
    WindowWatcher(const WindowWatcher&) = delete;
    WindowWatcher& operator=(const WindowWatcher&) = delete;

    struct Times
    {
        double mappedMs;
        double paintedMs;
    };

    // Waits for the window named `name` to be mapped and painted, in at least
    // `colours` colours; the times are those at which the X server told of
    // each, from `started`.
    Times WaitForPainted(const QElapsedTimer& started, const std::string& name, size_t colours)
    {
        m_name = name;
        m_colours = colours;
        m_target = XCB_NONE;
        m_times = {-1.0, -1.0};
        while (m_times.paintedMs < 0) {
            const qint64 left = TimeoutMs - started.elapsed();
            if (left <= 0)
                throw std::runtime_error("no window \"" + name + "\" was painted within the time allowed");
            Handle(NextEvent(int(left)), started);
        }
        return m_times;
    }

    // Takes in every event up to now, so those of a closed program are not
    // seen as the next one's.
    void Sync()
    {
        const QElapsedTimer unused;
        Owned(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
            Handle(Owned(event), unused);
    }

private:
    xcb_atom_t Atom(const char* name)
    {
        const auto reply = Owned(xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 1, uint16_t(std::strlen(name)), name), nullptr));
        return reply ? reply->atom : XCB_NONE;
    }

    Reply<xcb_generic_event_t> NextEvent(int timeoutMs)
    {
        xcb_flush(m_connection);
        if (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
            return Owned(event);
        pollfd fd = {xcb_get_file_descriptor(m_connection), POLLIN, 0};
        ::poll(&fd, 1, timeoutMs);
        if (xcb_connection_has_error(m_connection))
            throw std::runtime_error("the connection to the X server broke");
        return Owned(xcb_poll_for_event(m_connection));
    }

    void Handle(const Reply<xcb_generic_event_t>& event, const QElapsedTimer& started)
    {
        if (!event)
            return;
        const double now = started.isValid() ? started.nsecsElapsed() / 1e6 : 0.0;
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            // Watched from its creation, so no drawing can come before the watch.
            const auto* created = reinterpret_cast<const xcb_create_notify_event_t*>(event.get());
            const xcb_damage_damage_t damage = xcb_generate_id(m_connection);
            xcb_damage_create(m_connection, damage, created->window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
            m_damages[created->window] = damage;
        } else if (type == XCB_DESTROY_NOTIFY) {
            // The server drops a window's damage with the window.
            m_damages.erase(reinterpret_cast<const xcb_destroy_notify_event_t*>(event.get())->window);
        } else if (type == XCB_MAP_NOTIFY) {
            const auto* mapped = reinterpret_cast<const xcb_map_notify_event_t*>(event.get());
            if (m_target == XCB_NONE && !m_name.empty() && m_damages.count(mapped->window)
                && WindowName(mapped->window) == m_name) {
                m_target = mapped->window;
                m_times.mappedMs = now;
            }
        } else if (type == m_damageNotify) {
            const auto* damaged = reinterpret_cast<const xcb_damage_notify_event_t*>(event.get());
            // Re-armed, so the next drawing is reported too.
            xcb_damage_subtract(m_connection, damaged->damage, XCB_NONE, XCB_NONE);
            if (damaged->drawable == m_target && m_target != XCB_NONE && HasContent(m_target, m_colours))
                m_times.paintedMs = now;
        }
    }

    std::string Property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
    {
        const auto reply = Owned(xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, property, type, 0, 256), nullptr));
        if (!reply)
            return std::string();
        return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                           size_t(xcb_get_property_value_length(reply.get())));
    }

    std::string WindowName(xcb_window_t window)
    {
        const std::string name = Property(window, m_netWmName, XCB_GET_PROPERTY_TYPE_ANY);
        return name.empty() ? Property(window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING) : name;
    }

    // More than the server's background: little of the black that stands
    // where nothing is drawn, and as many colours as the window's drawing has.
    bool HasContent(xcb_window_t window, size_t minimumColours)
    {
        const auto geometry =
            Owned(xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr));
        if (!geometry)
            return false;
        const auto image = Owned(xcb_get_image_reply(
            m_connection,
            xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, geometry->width, geometry->height,
                          ~0u),
            nullptr));
        if (!image || image->depth < 24)
            return false;
        const auto* pixels = reinterpret_cast<const uint32_t*>(xcb_get_image_data(image.get()));
        const size_t count = size_t(xcb_get_image_data_length(image.get())) / 4;
        size_t black = 0;
        std::unordered_set<uint32_t> colours;
        for (size_t i = 0; i < count; ++i) {
            const uint32_t rgb = pixels[i] & 0xFFFFFF;
            black += rgb == 0;
            colours.insert(rgb);
        }
        return count > 0 && black * 2 < count && colours.size() >= minimumColours;
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root = XCB_NONE;
    xcb_atom_t m_netWmName = XCB_NONE;
    uint8_t m_damageNotify = 0;
    std::map<xcb_window_t, xcb_damage_damage_t> m_damages;
    std::string m_name;
    size_t m_colours = ProgramColours;
    xcb_window_t m_target = XCB_NONE;
    Times m_times{-1.0, -1.0};
};

// Every program runs from a folder of its own, so none is started from a
// file the build left warmer in the cache, and is copied as the installation
// copies the program (scripts/install-program.sh): stripped, its debug
// information left in the build folder.
QString CopyProgram(const QString& source, const QString& folder, const QString& name)
{
    if (!QDir().mkpath(folder))
        throw std::runtime_error("cannot make " + folder.toStdString());
    const QString program = folder + u'/' + name;
    if (QProcess::execute(QStringLiteral("install"), {QStringLiteral("-s"), QStringLiteral("-m"),
                                                       QStringLiteral("0755"), source, program})
        != 0)
        throw std::runtime_error("cannot install the program from " + source.toStdString());
    return program;
}

// A program folder as an installation has it: the program, its settings and
// the database beside it.
QString MakeProgramFolder(const QString& folder, const std::function<void(const QString&)>& makeDatabase)
{
    const QString program = CopyProgram(QStringLiteral(KV_PROGRAM), folder, QStringLiteral("kilovento"));
    Bench::WriteSettingsFile(folder + QStringLiteral("/kilovento.ini"));
    makeDatabase(folder + QStringLiteral("/kilovento.mdb"));
    return program;
}

void CopyTemplateDatabase(const QString& path)
{
    if (!QFile::copy(QStringLiteral(KV_TEMPLATE_DIR "/kilovento.mdb"), path))
        throw std::runtime_error("cannot copy the empty database from " KV_TEMPLATE_DIR);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

// Starts the program and times it to its painted window; it is then closed as
// a session ends it (SIGTERM) and gone before this returns, lock file and all.
WindowWatcher::Times Launch(const QString& program, const QProcessEnvironment& environment, WindowWatcher& watcher,
                            const std::string& title, size_t colours)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    watcher.Sync();
    QElapsedTimer started;
    started.start();
    process.start(program, {QStringLiteral("/NOSPLASH")});
    std::optional<WindowWatcher::Times> times;
    std::string failure;
    try {
        if (!process.waitForStarted())
            throw std::runtime_error("the program did not start");
        times = watcher.WaitForPainted(started, title, colours);
    } catch (const std::exception& e) {
        failure = e.what();
    }
    process.terminate();
    if (!process.waitForFinished(TimeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    if (!times)
        throw std::runtime_error(failure);
    return *times;
}

// The times of every launch, in whole milliseconds.
std::string Milliseconds(const std::vector<double>& times)
{
    std::string all;
    for (double ms : times)
        all += (all.empty() ? "" : " ") + std::to_string(int(ms + 0.5));
    return all;
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    bool counted = true;
    const int launches = argc > 2 ? QByteArray(argv[2]).toInt(&counted) : DefaultLaunches;
    if (!counted || launches < 1) {
        std::fprintf(stderr, "usage: bench_startup [rides] [launches > 0]\n");
        return 1;
    }
    return Bench::Main(argc, argv, [&](qint64 rides, const QTemporaryDir& dir) {
        struct Case
        {
            std::string name;
            QString program;
        };
        const std::vector<Case> cases = {
            {"empty database", MakeProgramFolder(dir.filePath(QStringLiteral("empty")), CopyTemplateDatabase)},
            {std::to_string(rides) + " rides",
             MakeProgramFolder(dir.filePath(QStringLiteral("full")),
                               [rides](const QString& path) { Bench::CreateDatabase(path, rides); })},
        };

        const XServer server;
        WindowWatcher watcher(server.Display());
        const QString runtime = dir.filePath(QStringLiteral("runtime"));
        if (!QDir().mkpath(runtime)
            || !QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            throw std::runtime_error("cannot make the runtime folder");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), server.Display());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("it_IT.UTF-8"));
        const std::string title =
            QStringLiteral("%1 %2.%3").arg(ApplicationTitle).arg(KILOVENTO_VERSION_MAJOR).arg(KILOVENTO_VERSION_MINOR)
                .toStdString();

        const QString baseline = CopyProgram(QStringLiteral(KV_BASELINE), dir.filePath(QStringLiteral("baseline")),
                                             QStringLiteral("startup_baseline"));
        const QString widgets = CopyProgram(QStringLiteral(KV_WIDGETS), dir.filePath(QStringLiteral("widgets")),
                                            QStringLiteral("startup_widgets"));
        std::vector<Bench::Result> results;
        for (const Case& c : cases) {
            // One untimed start of each first, so shared libraries and fonts are in the cache.
            Launch(c.program, environment, watcher, title, ProgramColours);
            Launch(widgets, environment, watcher, title, ProgramColours);
            Launch(baseline, environment, watcher, title, BaselineColours);
            std::vector<double> mapped, painted, widgetsPainted, baselineMapped, baselinePainted;
            for (int i = 0; i < launches; ++i) {
                const WindowWatcher::Times times = Launch(c.program, environment, watcher, title, ProgramColours);
                mapped.push_back(times.mappedMs);
                painted.push_back(times.paintedMs);
                widgetsPainted.push_back(Launch(widgets, environment, watcher, title, ProgramColours).paintedMs);
                const WindowWatcher::Times baselineTimes =
                    Launch(baseline, environment, watcher, title, BaselineColours);
                baselineMapped.push_back(baselineTimes.mappedMs);
                baselinePainted.push_back(baselineTimes.paintedMs);
            }
            std::printf("%s: painted after %s ms; its widgets alone after %s ms; empty Qt window after %s ms\n",
                        c.name.c_str(), Milliseconds(painted).c_str(), Milliseconds(widgetsPainted).c_str(),
                        Milliseconds(baselinePainted).c_str());
            results.push_back({"start to window mapped, " + c.name, launches, Bench::Median(mapped)});
            results.push_back({"start to window painted, " + c.name, launches, Bench::Median(painted), {},
                               Bench::Result::Goal::AtMost, GoalMs});
            // Mapped says how much is the work before show(), the rest the first painting.
            results.push_back({"mapped, " + c.name + " / empty Qt window", launches, Bench::Median(mapped),
                               Bench::Median(baselineMapped)});
            results.push_back({"painted, " + c.name + " / empty Qt window", launches, Bench::Median(painted),
                               Bench::Median(baselinePainted)});
            results.push_back({"painted, its widgets alone / empty Qt window", launches,
                               Bench::Median(widgetsPainted), Bench::Median(baselinePainted)});
            results.push_back({"painted, " + c.name + " / its widgets alone", launches, Bench::Median(painted),
                               Bench::Median(widgetsPainted), Bench::Result::Goal::RatioAtMost, WidgetsRatioGoal});
        }
        Bench::PrintTable("Start-up with /NOSPLASH to the painted window \"" + title + "\" (Xvfb)", results);
    });
}
