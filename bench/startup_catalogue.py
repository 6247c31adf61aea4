"""Generated application catalogues for bench/startup and bench/soak:
desktop-entry files as distribution packages install them (translations,
keywords, MIME types, action groups), the same on every run."""

import os
import random

from home_tree import HomeTree

# No redraws of their own between the first frame and the keystroke: GTK on
# Wayland takes the cursor blink from GSettings, here from a private key file.
GSETTINGS_KEYFILE = "[org/gnome/desktop/interface]\ncursor-blink=false\n"

WORDS = (
    "Firefox", "Web", "Browser", "Text", "Editor", "Terminal", "Files", "Image", "Viewer", "Music",
    "Player", "Video", "Office", "Writer", "Calc", "Impress", "Settings", "System", "Monitor", "Disk",
    "Usage", "Analyzer", "Mail", "Calendar", "Contacts", "Notes", "Code", "Studio", "Photo", "Draw",
    "Paint", "Sound", "Recorder", "Archive", "Manager", "Network", "Printer", "Scanner", "Font", "Map",
    "Weather", "Clock", "Chess", "Mines", "Sudoku", "Password", "Keyring", "Backup", "Remote", "Desktop",
    "Chat", "Torrent", "Download", "Ebook", "Reader", "PDF", "Markdown", "Git", "Python", "Shell",
    "Debugger", "Profiler", "Database", "Console", "Tweaks", "Color", "Picker", "Screen", "Shot", "Cast",
    "Podcast", "Radio", "Journal", "Tasks", "Budget", "Éditeur", "Lecteur", "Größe", "Straße", "Ωmega",
    "Редактор", "Почта", "Κείμενο", "Zeichnen", "Fenêtre", "Bibliothèque",
)

VENDORS = ("org.gnome", "org.kde", "com.github", "io.elementary", "net.sourceforge", "org.example")

# Icon names that the Adwaita theme carries.
THEME_ICONS = (
    "accessories-calculator", "accessories-text-editor", "accessories-character-map",
    "accessories-dictionary", "applications-games", "applications-graphics", "applications-internet",
    "applications-office", "applications-science", "applications-system", "applications-utilities",
    "applications-development", "utilities-terminal", "system-file-manager", "help-browser",
    "preferences-desktop-font", "preferences-system", "web-browser", "mail-send-receive",
    "system-software-install", "camera-photo", "multimedia-player",
)

# Image files named by path, as some packages do.
ICON_FILES = ("/usr/share/icons/hicolor/48x48/apps/foot.png", "/usr/share/pixmaps/debian-logo.png")

LANGUAGES = ("ar", "bg", "ca", "cs", "da", "de", "el", "es", "fi", "fr", "he", "hu", "it", "ja", "ko",
             "nl", "pl", "pt_BR", "ru", "sv", "tr", "uk", "zh_CN")

OPTIONS = ("--new-window", "--profile default", "-e", "--class=app", "--ozone-platform=wayland", "-n",
           "--gapplication-service")

FIELD_CODES = ("%U", "%F", "%u", "%f", "")

CATEGORIES = ("Utility;TextEditor;", "Network;WebBrowser;", "AudioVideo;Audio;Player;", "Graphics;Viewer;",
              "Office;WordProcessor;", "System;Monitor;", "Development;IDE;", "Game;BoardGame;",
              "Settings;DesktopSettings;")


def _entry(rng, index):
    words = [rng.choice(WORDS) for _ in range(rng.randint(1, 4))]
    name = " ".join(words)
    camel = "".join(words)
    command = "-".join(w.lower() for w in words)
    wm_class_kind = rng.randrange(10)
    if wm_class_kind < 3:
        wm_class = None
    elif wm_class_kind < 5:
        wm_class = command
    else:
        wm_class = f"{rng.choice(VENDORS)}.{camel}"
    icon_kind = rng.randrange(20)
    if icon_kind < 12:
        icon = rng.choice(THEME_ICONS)
    elif icon_kind < 17:
        icon = f"org.example.{camel}{index}"
    elif icon_kind < 18:
        icon = rng.choice(ICON_FILES)
    else:
        icon = None
    options = " ".join(rng.choice(OPTIONS) for _ in range(rng.randrange(3)))
    exec_line = " ".join(p for p in (f"/usr/bin/{command}", options, rng.choice(FIELD_CODES)) if p)

    lines = ["[Desktop Entry]", "Version=1.0", "Type=Application", f"Name={name}"]
    languages = rng.sample(LANGUAGES, rng.randrange(len(LANGUAGES) + 1))
    lines += [f"Name[{lang}]={name} ({lang})" for lang in languages]
    lines.append(f"GenericName={rng.choice(WORDS)} {rng.choice(WORDS)}")
    lines.append(f"Comment=Does what {name} does, quickly and well")
    lines += [f"Comment[{lang}]=Macht, was {name} macht ({lang}) — gründlich" for lang in languages]
    lines.append(f"Keywords={';'.join(w.lower() for w in rng.sample(WORDS, 3))};")
    lines.append(f"Exec={exec_line}")
    if icon is not None:
        lines.append(f"Icon={icon}")
    lines.append("Terminal=" + ("true" if rng.randrange(20) == 0 else "false"))
    lines.append(f"Categories={rng.choice(CATEGORIES)}")
    lines.append("MimeType=text/plain;application/x-example;")
    lines.append("StartupNotify=true")
    if wm_class is not None:
        lines.append(f"StartupWMClass={wm_class}")
    if rng.randrange(30) == 0:
        lines.append("NoDisplay=true")
    actions = rng.sample(("new-window", "new-private-window", "preferences"), rng.randrange(3))
    if actions:
        lines.append(f"Actions={';'.join(actions)};")
    for action in actions:
        title = action.replace("-", " ").capitalize()
        lines += ["", f"[Desktop Action {action}]", f"Name={title}", f"Name[de]={title} (de)",
                  f"Exec=/usr/bin/{command} --{action}"]
    return f"org.example.{camel}{index}.desktop", "\n".join(lines) + "\n"


def write_catalogue(count, system_dir, user_dir, seed=1):
    """Writes count desktop entries: most into system_dir, one in twenty into
    user_dir (the user's own). Both are application directories."""
    rng = random.Random(seed)
    for directory in (system_dir, user_dir):
        os.makedirs(directory, exist_ok=True)
    for index in range(count):
        file_name, text = _entry(rng, index)
        directory = user_dir if index % 20 == 0 else system_dir
        with open(os.path.join(directory, file_name), "w", encoding="utf-8") as f:
            f.write(text)


def write_menu_lines(count, path, seed=1):
    """Writes count lines of two to five words each, one per line, as a script
    would pipe them into a menu."""
    rng = random.Random(seed)
    with open(path, "w", encoding="utf-8") as f:
        for i in range(count):
            f.write(" ".join(rng.choice(WORDS) for _ in range(rng.randint(2, 5))) + f" {i}\n")


KEYWORD_BOMB = 100_000
LONG_LINE_BYTES = 16 * 1024 * 1024 - 1


def write_keyword_bomb(directory, count=KEYWORD_BOMB):
    """Writes one desktop entry with count keywords (about 1 MB) into the
    application directory."""
    os.makedirs(directory, exist_ok=True)
    keywords = "".join(f"kw{i};" for i in range(count))
    with open(os.path.join(directory, "keyword-bomb.desktop"), "w", encoding="utf-8") as f:
        f.write(f"[Desktop Entry]\nType=Application\nName=Keyword Bomb\nExec=true\nKeywords={keywords}\n")


def write_long_line(path, size=LONG_LINE_BYTES):
    """Writes one line of size bytes and its line end: the most a menu reads."""
    with open(path, "wb") as f:
        f.write(b"m" * size + b"\n")


def prepare_home(root, size):
    """A private home under root with a catalogue of size entries; the
    environment variables that point a program at it."""
    home = HomeTree(root)
    write_catalogue(size, os.path.join(home.data_dirs, "applications"),
                    os.path.join(home.data_home, "applications"))
    home.write_file(os.path.join(home.config_home, "glib-2.0", "settings", "keyfile"), GSETTINGS_KEYFILE)
    env = dict(home.env)
    env["GSETTINGS_BACKEND"] = "keyfile"
    # Icon themes, GSettings schemas and MIME data stay reachable; the
    # launchers also find the few system entries, each of them alike.
    env["XDG_DATA_DIRS"] = f"{home.data_dirs}:/usr/share"
    return env
