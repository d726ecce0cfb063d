#include "storage/help_page.h"

namespace vt::storage {

std::string HelpSectionId(int context) {
  return context == kHelpContents ? std::string("contents") : "context-" + std::to_string(context);
}

const std::string& HelpPageHtml() {
  static const std::string kPage = R"html(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Vellumtrace Help</title>
<style>
body { font-family: Arial, sans-serif; font-size: 14px; max-width: 46em; margin: 1em auto; padding: 0 1em; line-height: 1.45; }
h1 { font-size: 22px; } h2 { font-size: 18px; border-bottom: 1px solid #ccc; margin-top: 2em; } h3 { font-size: 15px; }
dt { font-weight: bold; margin-top: 0.6em; } .lamp { display: inline-block; width: 0.8em; height: 0.8em; border-radius: 50%; border: 1px solid #555; }
code { background: #f2f2f2; padding: 0 0.2em; } .top { font-size: 12px; }
</style>
</head>
<body>
<h1>Vellumtrace Help</h1>

<section id="contents">
<h2>Contents</h2>
<ul>
<li><a href="#band">The band</a></li>
<li><a href="#toolbar">The main tool bar and the band menu</a></li>
<li><a href="#lamps">The lamps</a></li>
<li><a href="#statusbar">The status bar</a></li>
<li><a href="#context-1005">The Filter tab and the filter tree</a></li>
<li><a href="#context-2000">The Snippets tab and the snippet tree</a></li>
<li><a href="#context-3000">The Search tab and the candidate list</a></li>
<li><a href="#indexer">The word indexer</a></li>
<li><a href="#data">Where your data lives</a></li>
</ul>
<h3>Index</h3>
<ul>
<li>Candidate list &mdash; <a href="#context-3000">Search tab</a></li>
<li>Filter mode &mdash; <a href="#toolbar">tool bar</a>, <a href="#context-1005">Filter tab</a></li>
<li>Filter tree &mdash; <a href="#context-1005">Filter tab</a></li>
<li>Indexer &mdash; <a href="#indexer">word indexer</a>, <a href="#toolbar">tool bar</a></li>
<li>Lamps &mdash; <a href="#lamps">the lamps</a></li>
<li>Preview &mdash; <a href="#context-1005">filter preview</a>, <a href="#context-2000">snippet preview</a></li>
<li>Result grid &mdash; <a href="#context-3000">Search tab</a></li>
<li>Slim View &mdash; <a href="#toolbar">band menu</a></li>
<li>Snippet filter &mdash; <a href="#context-2000">Snippets tab</a></li>
<li>Snippet tree &mdash; <a href="#context-2000">Snippets tab</a></li>
<li>Status bar &mdash; <a href="#statusbar">the status bar</a></li>
</ul>
</section>

<section id="band">
<h2>The band</h2>
<p>Vellumtrace is a research band that sits beside the page in your browser window. It works on
whatever page the window shows:</p>
<ul>
<li>it takes the page apart into its frames, tables, rows, cells, images and links and shows them as
a tree, so that you can look at any part of the page on its own;</li>
<li>it keeps the pages, passages and page parts you want to hold on to as <em>snippets</em> in a
tree of your own;</li>
<li>it records every page you visit and, when you wish, the words on it, so that you can find the
page again later by a word, a keyword, its domain or its title.</li>
</ul>
<p>The band has three tabs &mdash; Filter, Snippets and Search &mdash; with the main tool bar above
them and the status bar below. Each tab is split into an upper and a lower pane; drag the splitter
between them to share the height as you like. The band remembers the active tab, the splitter
positions, the field lists, the filter texts, the selected snippet and its width the next time it
opens.</p>
<p>When the band opens, the status bar shows &ldquo;Vellumtrace is loading...&rdquo; while the
database is opened, then &ldquo;Vellumtrace is Ready&rdquo;. Until then the Menu, Filter and
Indexer buttons are greyed out.</p>
<p class="top"><a href="#contents">Back to the contents</a></p>
</section>

<section id="toolbar">
<h2>The main tool bar and the band menu</h2>
<dl>
<dt>Menu</dt>
<dd>Opens the band menu:
<ul>
<li><b>Filter on</b> &mdash; the same as the Filter button.</li>
<li><b>Indexer on</b> &mdash; the same as the Indexer button.</li>
<li><b>Slim View</b> &mdash; narrows the band to a strip that shows only the tool bar and the
status bar, leaving the page almost the whole window. Choose it again to get the band back at the
width it had.</li>
<li><b>Help</b> &rsaquo; <b>Help Index</b> opens this page; <b>About Vellumtrace</b> shows the
version of the band.</li>
</ul></dd>
<dt>Filter (Filter Mode On/Off)</dt>
<dd>Switches filter mode on or off. In filter mode the band works together with the page: a click
on the page selects the clicked element in the filter tree, the band's own page menu replaces the
browser's context menu, and the filter tree remembers which element you had selected on each page.
Switching filter mode on for a page that has not been taken apart yet starts that at once.</dd>
<dt>Indexer (Word Indexer On/Off)</dt>
<dd>Switches the word indexer on or off (see <a href="#indexer">The word indexer</a>). Pressing it
on indexes the page shown now, unless it is indexed already; releasing it stops indexing.</dd>
</dl>
<p>Both buttons keep their state from one session to the next.</p>
<p class="top"><a href="#contents">Back to the contents</a></p>
</section>

<section id="lamps">
<h2>The lamps</h2>
<p>The small round lamps on the tabs tell you what the band is doing. Rest the mouse on a lamp to
see its meaning.</p>
<dl>
<dt>Page status (Filter tab, beside Rescan)</dt>
<dd><span class="lamp" style="background:#ffff00"></span> yellow: waiting for the browser to load
the page.<br>
<span class="lamp" style="background:#ff0000"></span> red: the page is being taken apart.<br>
<span class="lamp" style="background:#00ff00"></span> green: ready; the filter tree shows the
page.<br>
<span class="lamp" style="background:#888"></span> dark: no data; no page has been taken apart
yet.</dd>
<dt>Preview Busy Indicator (Filter and Snippets tabs)</dt>
<dd>Red while the preview pane below it is loading, green when it is idle.</dd>
<dt>Search Busy Indicator (Snippets and Search tabs)</dt>
<dd>Red while the snippet tree is being filtered or the candidate list is being refreshed, green
otherwise.</dd>
</dl>
<p class="top"><a href="#contents">Back to the contents</a></p>
</section>

<section id="statusbar">
<h2>The status bar</h2>
<p>The line at the bottom of the band carries every message of the band: that it is loading or
ready, how many words the indexer added (&ldquo;Words added: 12&rdquo;), that indexing was
cancelled, that the filter preview was still busy when you moved on, and any failure. A failure is
shown as the name of the operation that failed, then &ldquo;ERROR :&rdquo;, then what went wrong,
for example <code>Timer ERROR : ...</code>. The band goes on working after a failure; the next page
or the next command starts afresh.</p>
<p class="top"><a href="#contents">Back to the contents</a></p>
</section>

<section id="context-1005">
<h2>The Filter tab and the filter tree</h2>
<p>The upper pane shows the <b>filter tree</b>: the page taken apart. Its branches list the page's
frames, tables with their rows and cells, images and links, with a count on each group (for
example &ldquo;Tables (2)&rdquo;). The tree is rebuilt each time a page has finished loading; it
is emptied as soon as you leave the page.</p>
<p>Click a node to select its element. A moment after you stop clicking, the element is outlined on
the page and shown on its own in the <b>filter preview</b> in the lower pane. The group nodes show
all images, all tables or all links of a frame together.</p>
<dl>
<dt>Rescan (Rescan Document)</dt>
<dd>Takes the page apart again, for pages that change after they have loaded.</dd>
<dt>Stop (Stop Filter Browser)</dt>
<dd>Stops loading a preview.</dd>
<dt>Print (Print Filter)</dt>
<dd>Prints the preview.</dd>
</dl>
<p>Right-click the tree for its menu: open the selected element alone in a new window, save it as
a snippet, send it by e-mail, copy it to the clipboard, re-scan the page, follow a link, expand or
collapse the whole tree, and open this section of the help.</p>
<p>With filter mode on, a click on the page itself selects the element in the tree, and the page's
context menu offers the same commands for the element under the mouse together with the page's
selection.</p>
<p class="top"><a href="#contents">Back to the contents</a></p>
</section>

<section id="context-2000">
<h2>The Snippets tab and the snippet tree</h2>
<p>The <b>snippet tree</b> holds what you have kept: whole pages, selected passages and single page
elements, each as a snippet that can have snippets below it. A snippet remembers the page it came
from. Select a snippet and press <b>Preview</b> (Preview Selected Snippet) to see it in the lower
pane; <b>Stop</b> (Stop Preview Browser) stops the preview, <b>Print</b> (Print Snippet) prints
it.</p>
<p>Right-click the tree for its menu: add the page shown now, the element selected in the filter
tree or the selected text; make a root snippet or an empty one; view or edit a snippet; move it to
the root; visit the page it came from; compile a snippet with everything below it into one article;
send it by e-mail; expand or collapse the tree; see its properties. Drag a snippet onto another to
move it below that one, and rename a snippet in place.</p>
<h3>The snippet filter</h3>
<p>Above the tree, pick a field and type a text, then press Enter (or pick an earlier text from the
box's list) to show only the matching snippets:</p>
<ul>
<li><b>[None]</b> &mdash; every snippet;</li>
<li><b>Domain</b> &mdash; snippets from pages of a domain; the filter follows each page you open,
so the tree always shows what you kept from the site you are on;</li>
<li><b>Name</b> &mdash; snippets whose name contains the text;</li>
<li><b>Content</b> &mdash; snippets whose content contains the text.</li>
</ul>
<p>The box remembers the last 20 texts you used.</p>
<p class="top"><a href="#contents">Back to the contents</a></p>
</section>

<section id="context-3000">
<h2>The Search tab and the candidate list</h2>
<p>The Search tab finds pages you have visited. Pick what to search by, type a text and press
Enter:</p>
<ul>
<li><b>Indexer</b> &mdash; words on the pages the word indexer has indexed;</li>
<li><b>Keywords</b> &mdash; the keywords the pages declare about themselves;</li>
<li><b>Url</b> &mdash; domains; double-click a domain in the list to go to its site;</li>
<li><b>Title</b> &mdash; page titles.</li>
</ul>
<p>The <b>candidate list</b> then shows the matching words, keywords, domains or titles. Click a
candidate to fill the <b>result grid</b> below with the pages that have it. Each row shows the
page's title with its address beneath it; click a column header to sort, or type to jump to a
title. Double-click a row to open the page in the browser; right-click for the menu that also sends
a link by e-mail or shows the page's properties.</p>
<p>The search box remembers the last 20 texts you used.</p>
<p class="top"><a href="#contents">Back to the contents</a></p>
</section>

<section id="indexer">
<h2>The word indexer</h2>
<p>While the Indexer button is down, each page you open that has not been indexed before has its
visible text added to the word index, a few words at a time so that the browser stays responsive.
When a page is done, the status bar shows how many new words it added and the page is marked as
indexed; it is not indexed again on later visits. Leaving the page before it is done, or releasing
the Indexer button, cancels indexing of that page (&ldquo;Word indexer cancelled&rdquo;); it will
be indexed on a later visit. Pages the band makes itself, such as previews and articles, are never
indexed.</p>
<p class="top"><a href="#contents">Back to the contents</a></p>
</section>

<section id="data">
<h2>Where your data lives</h2>
<p>Everything the band keeps &mdash; visited pages, the word index, keywords and snippets &mdash;
is stored in one database file, <code>vellumtrace.mdb</code>, in the program folder, next to the
style sheet of generated pages and this help page. The band's layout and choices are kept in the
settings of your user account.</p>
<p>If the database or one of these files is missing or incomplete, run <code>vellumtrace
install</code>: it creates what is missing and never overwrites what is there.</p>
<p class="top"><a href="#contents">Back to the contents</a></p>
</section>
</body>
</html>
)html";
  return kPage;
}

}  // namespace vt::storage
