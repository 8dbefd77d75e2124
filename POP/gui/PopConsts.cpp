#include "POP/gui/PopConsts.h"

#include "POP/PopInno.h"

const char* const _SAll = "All";
const char* const _SApplications = "Applications";
const char* const _SAudio = "Audio";
const char* const _SCancel = "Cancel";
const char* const _SClose = "Close";
const char* const _SDownloading = "Downloading";
const char* const _SRequesting = "Requesting";
const char* const _SError = "Error";
const char* const _SEmail = "Email";
const char* const _SExit = "Exit";
const char* const _SIdle = "Idle";
const char* const _SJavaScript = "JavaScript";
const char* const _SOK = "OK";
const char* const _SOther = "Other";
const char* const _SResume = "Resume";
const char* const _SSuspend = "Suspend";
const char* const _SSettings = "Settings";
const char* const _SStart = "Start";
const char* const _SStop = "Stop";
const char* const _SSpecial = "Special";
const char* const _SUnknown = "Unknown";
const char* const _SVideo = "Video";
const char* const _SImages = "Images";
const char* const _SPending = "Pending";
const char* const _SPhotos = "Photos";
const char* const _SHTML = "HTML";
const char* const _SFileFolder = "File Folder";
const char* const _SMissing = "Missing";
const char* const _SNews = "News";
const char* const _SMainDict = "english.txt";
const char* const _SUserDict = "userdict.txt";
const char* const _SSpellCheckingIsComplete = "Spell checking is complete.";
const char* const _SHTMLContainsNoSpellingErrors = "The HTML contains no spelling errors.";
const char* const _SDoYouWantToAddToUserDictionary = "Do you want to add \"%s\" to the user dictionary?";
const char* const _MsgFileRevert = "Discard your changes and reload \"%s\"?";
const char* const _MsgReadOnly = "\"%s\" is read-only.";
const char* const _MsgSaveChanges = "Save changes to \"%s\"?";
const char* const _MsgCannotFind = "Cannot find \"%s\".";
const char* const _MsgSaveBeforePreview =
    "The document must be saved before it can be previewed. Save it now?";
const char* const _MsgReadOnlyFile = "\"%s\" is a read-only file. Save it under another name?";
const char* const _MsgTargetFrames = "_blank\n_parent\n_self\n_top";
const char* const _FilterAll = "All Files (*.*)|*.*|";
const char* const _FilterZip = "Zip Archives (*.zip)|*.zip|All Files (*.*)|*.*|";
const char* const _FilterCSV = "Comma Separated Values (*.csv)|*.csv|All Files (*.*)|*.*|";
const char* const _FilterApplets = "Java Applets (*.class)|*.class|All Files (*.*)|*.*|";
const char* const _FilterHTML = "HTML Files (*.htm)|*.htm;*.html;*.shtml;*.asp|All Files (*.*)|*.*|";
const char* const _FilterHTMLImages =
    "Web Images (*.gif;*.jpg;*.png)|*.gif;*.jpg;*.jpeg;*.png|All Files (*.*)|*.*|";
const char* const _FilterImages =
    "Images (*.bmp;*.gif;*.jpg;*.png)|*.bmp;*.gif;*.jpg;*.jpeg;*.png|All Files (*.*)|*.*|";
const char* const _FilterAVI = "Video Clips (*.avi)|*.avi|All Files (*.*)|*.*|";
const char* const _FilterJavaScript = "JavaScript Files (*.js)|*.js|All Files (*.*)|*.*|";
const char* const _FilterExeFiles = "Programs (*.exe)|*.exe|All Files (*.*)|*.*|";
const char* const _FilterZLM = "Zelmora Projects (*.zlm)|*.zlm|All Files (*.*)|*.*|";
const char* const _SFilterCSV = "CSV Files (*.csv)|*.csv";
const char* const _SFilterTXT = "Text Files (*.txt)|*.txt";
const char* const _SFilterXML = "XML Files (*.xml)|*.xml";
const char* const _SFilterAll = "All Files (*.*)|*.*";
const char* const _SFilterHTM = "HTML Files (*.htm;*.html)|*.htm;*.html";
const char* const _SFilterGIF = "GIF Images (*.gif)|*.gif";
const char* const _SHTMServices = "Services.htm";
const char* const _SURLHomePage = SInnoHomePage;
