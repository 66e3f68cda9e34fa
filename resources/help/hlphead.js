/* Lirva help pages: the common page header (program name and the navigation
   bar). Each page includes this script at the top of its body; a page read
   without scripts still has its own heading and links. */
(function () {
  var pages = [
    ["index.html", "Contents"],
    ["introduction.html", "Introduction"],
    ["features.html", "Features"],
    ["using.html", "Using Lirva"],
    ["format_overview.html", "File Formats"],
    ["requirements.html", "Requirements"],
    ["related.html", "Related Programs"],
    ["support.html", "Support"]
  ];

  /* The name of this page, from its address: the part after the last slash
     (or backslash), in lower case; a folder address means the start page. */
  var here = "";
  if (document.location && document.location.pathname) {
    here = String(document.location.pathname);
  }
  here = here.substring(Math.max(here.lastIndexOf("/"), here.lastIndexOf("\\")) + 1);
  here = here.toLowerCase();
  if (here === "") {
    here = "index.html";
  }

  var html = '<div id="hlphead">' +
    '<div class="product">Lirva <span class="ver">v 1.00 Help</span></div>' +
    '<div class="tagline">Tag editor and player for MP3 and WAV files</div>' +
    '<ul class="nav">';
  for (var i = 0; i < pages.length; i++) {
    html += '<li><a href="' + pages[i][0] + '"' +
      (pages[i][0] === here ? ' class="current"' : '') + '>' +
      pages[i][1] + '</a></li>';
  }
  html += '</ul></div>';
  document.write(html);
})();
