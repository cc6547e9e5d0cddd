# Turns the Markdown user guide into one HTML page with its images inside (data: URIs), so the
# guide is a single file that opens in any browser, wherever the user puts it.
#   cmake -DINPUT=guide.md -DOUTPUT=guide.html -DCMARK=cmark-gfm -DTEMPLATE=guide.html.in -P make_guide.cmake

execute_process(COMMAND ${CMARK} --extension table --to html ${INPUT}
  OUTPUT_VARIABLE body RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cmark-gfm could not read ${INPUT}")
endif()

get_filename_component(input_dir ${INPUT} DIRECTORY)
string(REGEX MATCHALL "src=\"[^\"]+\\.png\"" images "${body}")
list(REMOVE_DUPLICATES images)
foreach(attribute IN LISTS images)
  string(REGEX REPLACE "^src=\"(.*)\"$" "\\1" image "${attribute}")
  if(NOT EXISTS ${input_dir}/${image})
    message(FATAL_ERROR "${INPUT} shows ${image}, which does not exist")
  endif()
  execute_process(COMMAND base64 -w 0 ${input_dir}/${image}
    OUTPUT_VARIABLE encoded RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "base64 could not read ${image}")
  endif()
  string(REPLACE "${attribute}" "src=\"data:image/png;base64,${encoded}\"" body "${body}")
endforeach()

# The page's title is the guide's first heading.
string(REGEX MATCH "<h1>([^<]*)</h1>" heading "${body}")
set(TITLE "${CMAKE_MATCH_1}")
file(READ ${TEMPLATE} page)
set(BODY "${body}")
string(CONFIGURE "${page}" page @ONLY)
file(WRITE ${OUTPUT} "${page}")
