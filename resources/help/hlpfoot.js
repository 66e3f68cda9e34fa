/* Lirva help pages: the common page footer (copyright and the maker's web
   site). Each page includes this script at the end of its body. */
document.write(
  '<div id="hlpfoot"><p>' +
  'Lirva v 1.00 &nbsp;|&nbsp; Copyright &copy; 2026 Vantoral. All rights reserved.' +
  ' &nbsp;|&nbsp; <a href="index.html">Help Contents</a>' +
  '<br>More audio software from Vantoral: ' +
  '<a href="http://www.vantoral.example/">http://www.vantoral.example/</a>' +
  '</p></div>'
);
