#include <string>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_set.h>
#include <absl/hash/hash.h>
#include <gtest/gtest.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/basic/logger.h>
#include <vorna/basic/named_type.h>
#include <vorna/basic/uuid.h>

namespace
{
    using vorna::uuid;

    TEST( Uuid, FreshValuesAreDistinctAndRoundTrip )
    {
        absl::flat_hash_set< uuid > seen;
        for( int i = 0; i < 1000; i++ )
        {
            const uuid id;
            EXPECT_TRUE( seen.insert( id ).second );
            EXPECT_EQ( id.string()[14], '4' );
            EXPECT_EQ( uuid{ id.string() }, id );
        }
        const uuid parsed{ "0123ABCD-4567-89ab-cdef-0123456789AB" };
        EXPECT_EQ( parsed.string(), "0123abcd-4567-89ab-cdef-0123456789ab" );
        EXPECT_EQ( absl::Hash< uuid >{}( parsed ),
                   absl::Hash< uuid >{}( uuid{ parsed.string() } ) );
        EXPECT_THROW( uuid{ "0123abcd-4567-89ab-cdef-0123456789a" },
                      vorna::CorvaneException );
        EXPECT_THROW( uuid{ "0123abcd_4567-89ab-cdef-0123456789ag" },
                      vorna::CorvaneException );
    }

    TEST( NamedType, ComparesAndHashesByValue )
    {
        const vorna::MeshImpl impl{ "DefaultTriangulatedSurface3D" };
        vorna::MeshImpl other = std::string{ "DefaultTriangulatedSurface3D" };
        EXPECT_EQ( impl, other );
        EXPECT_EQ( absl::Hash< vorna::MeshImpl >{}( impl ),
                   absl::Hash< vorna::MeshImpl >{}( other ) );
        other.get() += "X";
        EXPECT_NE( impl, other );
        EXPECT_LT( impl, other );
        static_assert(
            !std::is_convertible< vorna::MeshType, vorna::MeshImpl >::value,
            "tags must keep names apart" );
    }

    TEST( Logger, LevelFiltersAndSinkReceivesTextUnchanged )
    {
        using Level = vorna::Logger::Level;
        std::vector< std::pair< Level, std::string > > lines;
        vorna::Logger::set_sink(
            [&]( Level level, absl::string_view text )
            { lines.emplace_back( level, std::string{ text } ); } );
        EXPECT_EQ( vorna::Logger::level(), Level::info );
        vorna::Logger::log_debug( "hidden" );
        vorna::Logger::log_warn( "[build_blocks] shown" );
        vorna::Logger::set_level( Level::trace );
        vorna::Logger::log_trace( "trace" );
        vorna::Logger::set_level( Level::off );
        vorna::Logger::log_error( "silenced" );
        vorna::Logger::set_sink( {} );
        vorna::Logger::set_level( Level::info );
        ASSERT_EQ( lines.size(), 2u );
        EXPECT_EQ( lines[0],
                   std::make_pair( Level::warn,
                                   std::string{ "[build_blocks] shown" } ) );
        EXPECT_EQ( lines[1].first, Level::trace );
    }
} // namespace
